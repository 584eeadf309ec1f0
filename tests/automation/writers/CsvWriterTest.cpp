// SPDX-License-Identifier: Apache-2.0
#include "WriterTestSupport.h"
#include "automation/writers/Writers.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <sstream>

using automation::model::Cell;
using automation::model::CellError;
using automation::model::CellStyle;
using automation::model::Sheet;
using automation::model::WorkbookModel;
using automation::writers::writeCsv;
using writertest::ScratchFolder;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

uint32_t text(WorkbookModel &wb, const std::string &s) { return wb.mutableStrings().intern(s); }

uint32_t numberStyle(WorkbookModel &wb, const std::string &code) {
    CellStyle style;
    style.numberFormat = code;
    return wb.mutableStyles().intern(style);
}

std::string saveAndRead(const WorkbookModel &wb, const ScratchFolder &folder, size_t sheet = 0) {
    const std::string path = folder.file("out.csv");
    const auto result = writeCsv(wb, sheet, path);
    EXPECT_TRUE(result.ok) << result.error;
    return writertest::readAll(path);
}

TEST(CsvWriter, QuotesOnlyFieldsThatNeedIt) {
    struct Case {
        const char *value;
        const char *field;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"carriage\rreturn", "\"carriage\rreturn\""},
        {"  padded  ", "  padded  "},
        {"semi;colon\ttab", "semi;colon\ttab"},
        {"\xE4\xB8\xAD\xE6\x96\x87,", "\"\xE4\xB8\xAD\xE6\x96\x87,\""},
        {"\"", "\"\"\"\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        ScratchFolder folder;
        WorkbookModel wb;
        wb.appendSheet("S").setCell(1, Cell::makeString(1, text(wb, c.value)));
        EXPECT_EQ(saveAndRead(wb, folder), kBom + c.field + "\r\n");
    }
}

TEST(CsvWriter, KeepsEveryCellInItsPlaceFromTheFirstRowAndColumn) {
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    s.setCell(2, Cell::makeString(2, text(wb, "b2")));
    s.setCell(4, Cell::makeString(1, text(wb, "a4")));
    s.setCell(4, Cell::makeString(3, text(wb, "c4")));
    // The byte-order mark once, CRLF after every line, short lines padded to the used width.
    EXPECT_EQ(saveAndRead(wb, folder), kBom + ",,\r\n,b2,\r\n,,\r\na4,,c4\r\n");
}

TEST(CsvWriter, AnEmptySheetGivesOnlyTheByteOrderMark) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("S");
    EXPECT_EQ(saveAndRead(wb, folder), kBom);
}

TEST(CsvWriter, WritesValuesAsDisplayed) {
    struct Case {
        const char *label;
        const char *format;
        double value;
        const char *shown;
    };
    const Case cases[] = {
        {"general integer", "General", 42, "42"},
        {"general fraction", "General", 0.1, "0.1"},
        {"two decimals", "0.00", 1234.5, "1234.50"},
        {"thousands", "#,##0", 1234567, "\"1,234,567\""},
        {"percent", "0%", 0.25, "25%"},
        {"iso date", "yyyy-mm-dd", 45000, "2023-03-15"},
        {"time", "hh:mm", 0.75, "18:00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder folder;
        WorkbookModel wb;
        const uint32_t style = numberStyle(wb, c.format);
        wb.appendSheet("S").setCell(1, Cell::makeNumber(1, c.value, style));
        EXPECT_EQ(saveAndRead(wb, folder), kBom + c.shown + "\r\n");
    }
}

TEST(CsvWriter, DatesFollowTheWorkbookDateSystem) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.date1904 = true;
    const uint32_t style = numberStyle(wb, "yyyy-mm-dd");
    wb.appendSheet("S").setCell(1, Cell::makeNumber(1, 0, style));
    EXPECT_EQ(saveAndRead(wb, folder), kBom + "1904-01-01\r\n");
}

TEST(CsvWriter, WritesBooleansErrorsAndFormattedTexts) {
    ScratchFolder folder;
    WorkbookModel wb;
    const uint32_t greeting = numberStyle(wb, "\"Dear \"@");
    Sheet &s = wb.appendSheet("S");
    s.setCell(1, Cell::makeBoolean(1, true));
    s.setCell(1, Cell::makeBoolean(2, false));
    s.setCell(1, Cell::makeError(3, CellError::NA));
    s.setCell(1, Cell::makeError(4, CellError::Div0));
    s.setCell(1, Cell::makeString(5, text(wb, "Ann"), greeting));
    s.setCell(1, Cell::makeEmpty(6, greeting));
    EXPECT_EQ(saveAndRead(wb, folder), kBom + "TRUE,FALSE,#N/A,#DIV/0!,Dear Ann,\r\n");
}

TEST(CsvWriter, WritesOnlyTheChosenSheet) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("first").setCell(1, Cell::makeString(1, text(wb, "one")));
    wb.appendSheet("second").setCell(1, Cell::makeString(1, text(wb, "two")));
    EXPECT_EQ(saveAndRead(wb, folder, 1), kBom + "two\r\n");
    const auto missing = writeCsv(wb, 2, folder.file("none.csv"));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_FALSE(writertest::exists(folder.file("none.csv")));
}

TEST(CsvWriter, WritesRowsPastTheWorksheetLimit) {
    constexpr uint32_t kRows = 1048576 + 10;
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    const uint32_t id = text(wb, "x");
    s.reserveRows(kRows);
    for (uint32_t r = 1; r <= kRows; ++r) s.setCell(r, Cell::makeString(1, id));
    s.setCell(kRows, Cell::makeNumber(2, kRows));
    const std::string csv = saveAndRead(wb, folder);
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), kRows);
    const std::string tail = "x," + std::to_string(kRows) + "\r\n";
    ASSERT_GE(csv.size(), tail.size());
    EXPECT_EQ(csv.substr(csv.size() - tail.size()), tail);
}

// A result of many megabytes goes out in pieces, each written while the next
// is formatted: every line arrives, once, in its place.
TEST(CsvWriter, ALargeResultArrivesWholeAndInOrder) {
    constexpr uint32_t kRows = 300000;
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    const uint32_t id = text(wb, "a text long enough to fill the buffers quickly row after row");
    s.reserveRows(kRows);
    for (uint32_t r = 1; r <= kRows; ++r) {
        s.setCell(r, Cell::makeNumber(1, r));
        s.setCell(r, Cell::makeString(2, id));
    }
    const std::string csv = saveAndRead(wb, folder);
    ASSERT_GT(csv.size(), size_t(8) << 20);  // several pieces
    std::istringstream lines(csv.substr(kBom.size()));
    std::string line;
    uint32_t expected = 1;
    for (; std::getline(lines, line); ++expected) {
        const std::string want =
            std::to_string(expected) + ",a text long enough to fill the buffers quickly row after row\r";
        if (line != want) {
            ADD_FAILURE() << "line " << expected << ": " << line;
            break;
        }
    }
    EXPECT_EQ(expected, kRows + 1);
}

// A write that fails while the next piece is formatted (the file size limit
// here, a full disk for a user) fails the save with the system's reason and
// leaves neither a result nor a temporary file. Run in a child, whose limit
// cannot reach the tests around it.
TEST(CsvWriter, AWriteFailingBehindTheFormattingFailsTheSave) {
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &s = wb.appendSheet("S");
    const uint32_t id = text(wb, std::string(200, 'w'));
    for (uint32_t r = 1; r <= 60000; ++r) s.setCell(r, Cell::makeString(1, id));  // about 12 MiB
    const std::string target = folder.file("limited.csv");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
        rlimit limit{size_t(3) << 20, size_t(3) << 20};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        const auto result = writeCsv(wb, 0, target);
        _exit(result.ok ? 1 : result.error.find("too large") != std::string::npos ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved past the limit; 2: failed without the system's reason";
    EXPECT_TRUE(folder.entries().empty());
}

TEST(CsvWriter, KeepsLongTextsWhole) {
    ScratchFolder folder;
    WorkbookModel wb;
    const std::string longText(40000, 'q');
    wb.appendSheet("S").setCell(1, Cell::makeString(1, text(wb, longText)));
    EXPECT_EQ(saveAndRead(wb, folder), kBom + longText + "\r\n");
}

TEST(CsvWriter, ReplacesAnExistingFileAndLeavesItWhenTheSaveFails) {
    ScratchFolder folder;
    WorkbookModel wb;
    wb.appendSheet("S").setCell(1, Cell::makeString(1, text(wb, "fresh")));
    const std::string target = folder.file("value.csv");
    writertest::writeAll(target, "stale");
    ASSERT_TRUE(writeCsv(wb, 0, target).ok);
    EXPECT_EQ(writertest::readAll(target), kBom + "fresh\r\n");

    writertest::writeAll(folder.file("blocker"), "a file, not a folder");
    const auto failed = writeCsv(wb, 0, folder.file("blocker/value.csv"));
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.error.find("not a folder"), std::string::npos) << failed.error;
    const auto missing = writeCsv(wb, 0, folder.file("absent/value.csv"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("does not exist"), std::string::npos) << missing.error;
    auto entries = folder.entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"blocker", "value.csv"}));
    EXPECT_EQ(writertest::readAll(target), kBom + "fresh\r\n");
}

}  // namespace
