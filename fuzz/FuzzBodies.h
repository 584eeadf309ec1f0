// SPDX-License-Identifier: Apache-2.0
// What each fuzz target does with one input, kept apart from libFuzzer's entry
// point so the regression test can replay saved inputs through the very same
// code in an ordinary build.
#pragma once

#include "automation/readers/ReadResult.h"

#include <cstddef>
#include <cstdint>

namespace rowsifter::fuzz {

// Each feeds `data` to one reader (or to the number formats) and checks what
// came back. False when the answer breaks the reader's promises: a workbook
// together with a failure, or none with success, or a model out of order.
// A crash or a sanitizer report is the other kind of finding. The .xlsx
// body also saves what it read and reads the saved file back.
bool xlsxPackage(const uint8_t *data, size_t size);
bool worksheetScanner(const uint8_t *data, size_t size);
bool xlsWorkbook(const uint8_t *data, size_t size);  // the compound file, then its records
bool biffStream(const uint8_t *data, size_t size);   // a workbook stream's records alone
bool delimitedText(const uint8_t *data, size_t size);
bool htmlTable(const uint8_t *data, size_t size);
bool numberFormat(const uint8_t *data, size_t size);
bool formulaEvaluation(const uint8_t *data, size_t size);  // cells and names of formulas, evaluated

// A workbook exactly when the status is Ok, and its sheets in order: rows
// and cells ascending, none at 0. Also shows the first cells as a search would.
bool readResultSound(const automation::readers::ReadResult &result);

struct Body {
    const char *name;  // also the fuzz target's name without "fuzz_" and its regression folder
    bool (*run)(const uint8_t *data, size_t size);
};
extern const Body kBodies[];
extern const size_t kBodyCount;

}  // namespace rowsifter::fuzz
