// SPDX-License-Identifier: Apache-2.0
// compare_workbooks A B: reads both workbooks and prints the first
// difference in sheets, rows, cells (values and formats) and styles. Exit
// status 0 when they agree, 1 when they differ, 2 when one cannot be read.
// Used to check that the result workbooks of two builds are the same.
#include "WorkbookDifference.h"

#include "automation/readers/Readers.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fputs("usage: compare_workbooks A B\n", stderr);
        return 2;
    }
    const automation::readers::ReadResult a = automation::readers::readWorkbookFile(argv[1]);
    const automation::readers::ReadResult b = automation::readers::readWorkbookFile(argv[2]);
    if (!a.workbook || !b.workbook) {
        std::fprintf(stderr, "cannot read %s\n", !a.workbook ? argv[1] : argv[2]);
        return 2;
    }
    const std::string d = readertest::firstDifference(*a.workbook, *b.workbook);
    if (d.empty()) return 0;
    std::printf("%s vs %s: %s\n", argv[1], argv[2], d.c_str());
    return 1;
}
