// SPDX-License-Identifier: Apache-2.0
// Delimited text: quoting, line endings, encodings, the number rule and the
// sheet name, read through the sniffing entry point as the engine does.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"
#include "automation/readers/text/CsvReader.h"
#include "automation/readers/text/TextDecoding.h"

#include <gtest/gtest.h>

using namespace automation;
using namespace automation::readers;
using model::CellType;

namespace {

ReadResult readText(const std::string &name, const std::string &bytes) {
    readertest::TempFolder folder;
    const std::string path = folder.path(name);
    if (!readertest::writeBytes(path, bytes)) return ReadResult::fail(ReadStatus::Unreadable, "test setup");
    return readWorkbookFile(path);
}

// The sheet as rows of texts ("" for no cell); numbers in General display.
std::vector<std::vector<std::string>> grid(const model::WorkbookModel &wb) {
    std::vector<std::vector<std::string>> out;
    const model::Sheet &s = wb.sheet(0);
    for (const model::Row &r : s.rows()) {
        if (out.size() < r.index) out.resize(r.index);
        auto &line = out[r.index - 1];
        for (const model::Cell &c : r.cells) {
            if (line.size() < c.column) line.resize(c.column);
            line[c.column - 1] = c.type == CellType::Number ? "#" + std::to_string(c.number) : wb.text(c);
        }
    }
    return out;
}

using Grid = std::vector<std::vector<std::string>>;

TEST(CsvReader, QuotingAndLineEndings) {
    struct Case {
        const char *name;
        std::string bytes;
        Grid expected;
    } cases[] = {
        {"lf", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
        {"crlf", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
        {"cr only", "a,b\rc,d", {{"a", "b"}, {"c", "d"}}},
        {"quoted comma", "\"x,y\",z\n", {{"x,y", "z"}}},
        {"doubled quote", "\"say \"\"hi\"\"\",2x\n", {{"say \"hi\"", "2x"}}},
        {"embedded crlf", "\"line1\r\nline2\",b\r\nnext\r\n", {{"line1\r\nline2", "b"}, {"next"}}},
        {"empty fields", ",,c\n,\n", {{"", "", "c"}}},
        {"blank line kept as a row", "a\n\nb\n", {{"a"}, {}, {"b"}}},
        {"quote inside unquoted", "ab\"c,d\n", {{"ab\"c", "d"}}},
        {"text after closing quote", "\"ab\"cd,e\n", {{"abcd", "e"}}},
        {"unterminated quote", "\"open,still\nopen", {{"open,still\nopen"}}},
        {"no final newline", "last", {{"last"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ReadResult r = readText("t.csv", c.bytes);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        Grid g = grid(*r.workbook);
        EXPECT_EQ(g, c.expected);
    }
}

TEST(CsvReader, NumbersOnlyWhenTheyDisplayBackUnchanged) {
    struct Case {
        const char *field;
        bool number;
        double value;
    } cases[] = {
        {"123", true, 123},   {"3.5", true, 3.5},  {"-42", true, -42},
        {"0.25", true, 0.25}, {"0", true, 0},      {"00123", false, 0},
        {"1.50", false, 0},   {"1e5", false, 0},   {"12345678901234567890", false, 0},
        {"+5", false, 0},     {" 5", false, 0},    {"5 ", false, 0},
        {"1,000", false, 0},  {"inf", false, 0},   {"nan", false, 0},
        {".5", false, 0},     {"12abc", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        ReadResult r = readText("n.csv", std::string("\"") + c.field + "\"\n");
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        const model::Cell *cell = r.workbook->sheet(0).findCell(1, 1);
        ASSERT_NE(cell, nullptr);
        if (c.number) {
            ASSERT_EQ(cell->type, CellType::Number);
            EXPECT_DOUBLE_EQ(cell->number, c.value);
        } else {
            ASSERT_EQ(cell->type, CellType::String);
            EXPECT_EQ(r.workbook->text(*cell), c.field);
        }
    }
}

TEST(CsvReader, EncodingsByByteOrderMarkValidityOrGb18030) {
    const std::string expected = "名字,数量";  // UTF-8
    auto utf16 = [](const std::u16string &s, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : s) {
            const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            out += bigEndian ? hi : lo;
            out += bigEndian ? lo : hi;
        }
        return out;
    };
    struct Case {
        const char *name;
        std::string bytes;
        text::TextEncoding encoding;
    } cases[] = {
        {"utf8", expected + "\n", text::TextEncoding::Utf8},
        {"utf8 bom", "\xEF\xBB\xBF" + expected + "\n", text::TextEncoding::Utf8Bom},
        {"utf16le", utf16(u"名字,数量\r\n", false), text::TextEncoding::Utf16LE},
        {"utf16be", utf16(u"名字,数量\r\n", true), text::TextEncoding::Utf16BE},
        {"gb18030", "\xC3\xFB\xD7\xD6,\xCA\xFD\xC1\xBF\n", text::TextEncoding::Gb18030},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text::detectEncoding(c.bytes), c.encoding);
        ReadResult r = readText("enc.csv", c.bytes);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        const model::Sheet &s = r.workbook->sheet(0);
        ASSERT_NE(s.findCell(1, 2), nullptr);
        EXPECT_EQ(r.workbook->text(*s.findCell(1, 1)), "名字");
        EXPECT_EQ(r.workbook->text(*s.findCell(1, 2)), "数量");
    }
    EXPECT_FALSE(text::isValidUtf8("\xC0\xAF", 2));      // overlong
    EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80", 3));  // surrogate
    EXPECT_FALSE(text::isValidUtf8("\xE4\xB8", 2));      // cut short
    EXPECT_TRUE(text::isValidUtf8("plain ascii text, long enough", 29));
}

TEST(CsvReader, SheetNameTabsEmptyFileAndOverlongText) {
    readertest::TempFolder folder;
    const std::string longName =
        folder.path("这是一个非常长的文件名称用来检查工作表名字会被截断到三十一个字符.data.csv");
    ASSERT_TRUE(readertest::writeBytes(longName, "x"));
    ReadResult named = readWorkbookFile(longName);
    ASSERT_EQ(named.status, ReadStatus::Ok);
    EXPECT_EQ(QString::fromStdString(named.workbook->sheet(0).name).size(), 31);
    EXPECT_EQ(named.workbook->sheet(0).name.rfind("这是一个非常长的文件名称", 0), 0u);

    const std::string dotted = folder.path("report.2024.csv");
    ASSERT_TRUE(readertest::writeBytes(dotted, "x"));
    EXPECT_EQ(readWorkbookFile(dotted).workbook->sheet(0).name, "report.2024");

    // Tab-separated text named .xls, as some programs export it.
    ReadResult tabbed = readText("export.xls", "a\tb,c\n1\t2\n");
    ASSERT_EQ(tabbed.status, ReadStatus::Ok) << tabbed.message;
    EXPECT_EQ(grid(*tabbed.workbook), (Grid{{"a", "b,c"}, {"#1.000000", "#2.000000"}}));
    EXPECT_EQ(tabbed.workbook->sheet(0).name, "export");

    // An empty .csv opens as one empty worksheet (not so an empty .xlsx).
    const std::string empty = folder.path("empty.csv");
    ASSERT_TRUE(readertest::writeBytes(empty, ""));
    ReadResult e = readDelimitedText(empty, ',', "empty");
    ASSERT_EQ(e.status, ReadStatus::Ok);
    ASSERT_EQ(e.workbook->sheetCount(), 1u);
    EXPECT_TRUE(e.workbook->sheet(0).rows().empty());

    ReadResult big = readText("big.csv", std::string(40000, 'q') + ",after\n");
    ASSERT_EQ(big.status, ReadStatus::Ok);
    EXPECT_EQ(big.workbook->text(*big.workbook->sheet(0).findCell(1, 1)).size(), 32767u);
    EXPECT_EQ(big.workbook->text(*big.workbook->sheet(0).findCell(1, 2)), "after");
}

// A NUL in the head is binary content; one further on, in a text file
// already recognised as such, costs only itself.
TEST(CsvReader, AStrayNulPastTheHeadCostsOnlyItself) {
    std::string text;
    while (text.size() < 70 * 1024) text += "name,1\n";
    const size_t rows = text.size() / 7 + 1;  // the row with the NUL
    text += std::string("x\0y,2\n", 6);
    for (const char *name : {"late-nul.csv", "late-nul-gbk.csv"}) {
        SCOPED_TRACE(name);
        std::string bytes = text;
        if (std::string(name) == "late-nul-gbk.csv") bytes += "\xD6\xD0,3\n";  // "中" in GB18030
        ReadResult r = readText(name, bytes);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        const model::Cell *last = r.workbook->sheet(0).findCell(static_cast<uint32_t>(rows), 1);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(r.workbook->text(*last), "xy");
        EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(static_cast<uint32_t>(rows), 2)->number, 2);
    }
}

TEST(CsvReader, BinaryOrOversizedContentIsRefused) {
    EXPECT_EQ(readText("bin.csv", std::string("a,b\0c", 5)).status, ReadStatus::NotAWorkbook);
    EXPECT_EQ(readText("bin.xls", std::string("\x01\x02\0\0\x07", 5)).status, ReadStatus::NotAWorkbook);
    std::string wide(16385 * 2, ',');
    wide[0] = 'a';
    wide.back() = 'z';  // column 32771
    EXPECT_EQ(readText("wide.csv", wide).status, ReadStatus::TooLarge);
    EXPECT_EQ(readWorkbookFile("/nonexistent/dir/file.csv").status, ReadStatus::NotFound);
}

}  // namespace
