// SPDX-License-Identifier: Apache-2.0
// HTML tables saved as ".xls" by web systems: encodings, spans, cell text and
// the number rule, plus damaged and hostile documents.
#include "automation/model/Limits.h"
#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace automation;

namespace {

std::string fixture(const char *name) { return std::string(ROWSIFTER_FIXTURES) + "/html/" + name; }

std::string tempFile(const std::string &name, const std::string &content) {
    const auto dir = std::filesystem::temp_directory_path() / ("rowsifter-html-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
}

readers::ReadResult readText(const std::string &html, const char *name = "doc.xls") {
    return readers::readHtmlTable(tempFile(name, html), "Sheet1");
}

// A cell's value as the test compares it: text as is, numbers prefixed "#".
std::string valueAt(const model::WorkbookModel &wb, uint32_t row, uint32_t col) {
    const model::Cell *c = wb.sheet(0).findCell(row, col);
    if (!c) return "<none>";
    if (c->type == model::CellType::Number) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "#%.17g", c->number);
        return buf;
    }
    return std::string(wb.text(*c));
}

}  // namespace

TEST(HtmlTable, GbkReportFromAWebSystem) {
    auto r = readers::readHtmlTable(fixture("report-gbk.xls"), "report-gbk");
    ASSERT_TRUE(r.workbook) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    ASSERT_EQ(wb.sheetCount(), 1u);
    EXPECT_EQ(wb.sheet(0).name, "report-gbk");
    struct Case {
        uint32_t row, col;
        const char *expected;
    } cases[] = {
        {1, 1, "编号"},      {1, 2, "姓名"},
        {1, 4, "备注"},      {1, 5, "<none>"},
        {2, 1, "007"},  // leading zero: would not display back, stays text
        {2, 2, "张三"},      {2, 3, "#12.5"},
        {2, 4, "跨两行"},    {2, 5, "第一行\n第二行"},
        {3, 1, "#-3"},       {3, 2, "李四"},
        {3, 3, "1,234"},     {3, 4, "<none>"},  // covered by the row span above
        {3, 5, "多个 空格"}, {4, 1, "1e3"},
        {4, 2, "王五"},      {4, 3, "#42"},
        {4, 4, "<none>"},    {4, 5, "<tag> & 符号"},
        {5, 1, "<none>"},  // the second table is not read
    };
    for (const Case &c : cases) EXPECT_EQ(valueAt(wb, c.row, c.col), c.expected) << c.row << "," << c.col;
    const auto &merges = wb.sheet(0).merges;
    ASSERT_EQ(merges.size(), 2u);
    EXPECT_EQ(merges[0], (model::CellArea{1, 4, 1, 5}));
    EXPECT_EQ(merges[1], (model::CellArea{2, 4, 3, 4}));
}

TEST(HtmlTable, ByteOrderMarksChooseTheEncoding) {
    auto utf8 = readers::readHtmlTable(fixture("utf8-bom.xls"), "S");
    ASSERT_TRUE(utf8.workbook) << utf8.message;
    EXPECT_EQ(valueAt(*utf8.workbook, 1, 1), "名称");
    EXPECT_EQ(valueAt(*utf8.workbook, 2, 2), "#3");
    auto utf16 = readers::readHtmlTable(fixture("utf16le.xls"), "S");
    ASSERT_TRUE(utf16.workbook) << utf16.message;
    EXPECT_EQ(valueAt(*utf16.workbook, 1, 1), "宽字符");
    EXPECT_EQ(valueAt(*utf16.workbook, 1, 2), "#0.5");
}

TEST(HtmlTable, CharsetDeclarationsAndDefault) {
    struct Case {
        const char *name;
        std::string bytes;
        const char *expected;
    } cases[] = {
        {"meta-charset.xls", "<meta charset='gbk'><table><tr><td>\xD6\xD0\xCE\xC4</td></tr></table>", "中文"},
        {"no-declaration.xls", "<table><tr><td>\xE4\xB8\xAD\xE6\x96\x87</td></tr></table>", "中文"},
        {"unknown-charset.xls", "<meta charset=\"no-such-set\"><table><tr><td>abc</td></tr></table>", "abc"},
        {"windows-1252.xls", "<meta charset=iso-8859-1><table><tr><td>caf\xE9 \x80</td></tr></table>", "café €"},
    };
    for (const Case &c : cases) {
        auto r = readText(c.bytes, c.name);
        ASSERT_TRUE(r.workbook) << c.name;
        EXPECT_EQ(valueAt(*r.workbook, 1, 1), c.expected) << c.name;
    }
}

TEST(HtmlTable, NumbersOnlyWhenTheyDisplayBackAsWritten) {
    struct Case {
        const char *text;
        const char *expected;
    } cases[] = {
        {"12", "#12"},
        {"-0.25", "#-0.25"},
        {"3.10", "3.10"},
        {"+5", "+5"},
        {"1e5", "1e5"},
        {"0012", "0012"},
        {"12345678901234", "12345678901234"},
        {"inf", "inf"},
        {"nan", "nan"},
        {"1 000", "1 000"},
        {"50%", "50%"},
        {"2024-01-15", "2024-01-15"},
        {".5", ".5"},
        {"0", "#0"},
    };
    std::string html = "<table>";
    for (const Case &c : cases) html += std::string("<tr><td>") + c.text + "</td></tr>";
    html += "</table>";
    auto r = readText(html);
    ASSERT_TRUE(r.workbook);
    uint32_t row = 1;
    for (const Case &c : cases) EXPECT_EQ(valueAt(*r.workbook, row++, 1), c.expected) << c.text;
}

TEST(HtmlTable, SpansPushLaterCellsAside) {
    // A row span in the first column and a column span that crosses it.
    const char *html =
        "<table><tr><td rowspan=3>A</td><td colspan=2>B</td></tr>"
        "<tr><td>C</td><td rowspan=2 colspan=2>D</td></tr>"
        "<tr><td>E</td><td>F</td></tr>"
        "<tr><td colspan=0 rowspan=0>G</td><td colspan=x>H</td></tr></table>";
    auto r = readText(html);
    ASSERT_TRUE(r.workbook);
    const model::WorkbookModel &wb = *r.workbook;
    EXPECT_EQ(valueAt(wb, 1, 1), "A");
    EXPECT_EQ(valueAt(wb, 1, 2), "B");
    EXPECT_EQ(valueAt(wb, 2, 2), "C");
    EXPECT_EQ(valueAt(wb, 2, 3), "D");
    EXPECT_EQ(valueAt(wb, 3, 2), "E");
    EXPECT_EQ(valueAt(wb, 3, 5), "F");
    EXPECT_EQ(valueAt(wb, 4, 1), "G");
    EXPECT_EQ(valueAt(wb, 4, 2), "H");
    const auto &m = wb.sheet(0).merges;
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0], (model::CellArea{1, 1, 3, 1}));
    EXPECT_EQ(m[1], (model::CellArea{1, 2, 1, 3}));
    EXPECT_EQ(m[2], (model::CellArea{2, 3, 3, 4}));
}

TEST(HtmlTable, DocumentsWithoutATableGiveAnEmptySheet) {
    auto r = readText("<html><body><p>nothing tabular here</p></body></html>");
    ASSERT_TRUE(r.workbook);
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    EXPECT_EQ(r.workbook->sheet(0).cellCount(), 0u);
}

TEST(HtmlTable, HostileDocumentsStayBounded) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<div>";
    deep += "<table><tr><td>x</td></tr></table>";
    std::string wide = "<table><tr><td colspan=999999999 rowspan=999999999>a</td>";
    for (int i = 0; i < 20; ++i) wide += "<td colspan=1000>b</td>";
    wide += "</tr><tr><td>c</td></tr></table>";
    std::string manyRows = "<table>";
    for (int i = 0; i < 2000; ++i) manyRows += "<tr><td rowspan=65534>r</td>";
    manyRows += "</table>";
    const std::string cases[] = {deep, wide, manyRows, std::string("\0\0\0<table>\xff\xfe", 12), "", "<table"};
    int i = 0;
    for (const std::string &c : cases) {
        auto r = readText(c, ("hostile" + std::to_string(i++) + ".xls").c_str());
        if (!r.workbook) continue;
        model::CellArea used;
        if (r.workbook->sheet(0).usedArea(&used)) {
            EXPECT_LE(used.lastColumn, model::kMaxColumns);
            EXPECT_LE(used.lastRow, model::kMaxRows);
        }
        for (const auto &m : r.workbook->sheet(0).merges) EXPECT_LE(m.lastColumn, model::kMaxColumns);
    }
    EXPECT_EQ(readers::readHtmlTable("/no/such/dir/file.xls", "S").status, readers::ReadStatus::NotFound);
}

TEST(HtmlTable, TruncatedAndFlippedFixturesNeverCrash) {
    std::ifstream in(fixture("report-gbk.xls"), std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(whole.empty());
    for (size_t n = 0; n <= whole.size(); n += 7) {
        auto r = readText(whole.substr(0, n), "cut.xls");
        EXPECT_TRUE(r.workbook || r.status != readers::ReadStatus::Ok);
    }
    std::mt19937 random(5);
    for (int i = 0; i < 300; ++i) {
        std::string damaged = whole;
        for (int k = 0; k < 4; ++k) damaged[random() % damaged.size()] = static_cast<char>(random());
        auto r = readText(damaged, "flip.xls");
        if (r.workbook) {
            EXPECT_EQ(r.workbook->sheetCount(), 1u);
        }
    }
}

TEST(HtmlTable, WebExportsNamedXlsOpenThroughTheDispatcher) {
    auto html = readers::readWorkbookFile(fixture("report-gbk.xls"));
    ASSERT_TRUE(html.workbook) << html.message;
    EXPECT_EQ(valueAt(*html.workbook, 2, 2), "张三");
    auto tsv = readers::readWorkbookFile(fixture("tab-separated.xls"));
    ASSERT_TRUE(tsv.workbook) << tsv.message;
    EXPECT_EQ(valueAt(*tsv.workbook, 2, 2), "张三");
    EXPECT_EQ(valueAt(*tsv.workbook, 2, 3), "#12.5");
    // Markup in UTF-16 is still markup, not tab-separated text.
    auto utf16 = readers::readWorkbookFile(fixture("utf16le.xls"));
    ASSERT_TRUE(utf16.workbook) << utf16.message;
    EXPECT_EQ(valueAt(*utf16.workbook, 1, 1), "宽字符");
}
