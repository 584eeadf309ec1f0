// SPDX-License-Identifier: Apache-2.0
// Reads .xls files written by LibreOffice Calc (see tests/fixtures/xls/README.md)
// and checks them against the sources they were converted from.
#include "automation/numfmt/NumberFormat.h"
#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace automation;

namespace {

std::string fixture(const char *name) { return std::string(ROWSIFTER_FIXTURES) + "/xls/" + name; }

class FormatsWorkbook : public ::testing::Test {
protected:
    static void SetUpTestSuite() { result_ = new readers::ReadResult(readers::readXls(fixture("formats.xls"))); }
    static void TearDownTestSuite() {
        delete result_;
        result_ = nullptr;
    }
    const model::WorkbookModel &book() const { return *result_->workbook; }
    const model::Sheet &data() const { return book().sheet(0); }
    const model::Cell &cell(uint32_t row, uint32_t col) const {
        static const model::Cell none;
        const model::Cell *c = data().findCell(row, col);
        return c ? *c : none;
    }
    std::string text(uint32_t row, uint32_t col) const { return std::string(book().text(cell(row, col))); }
    const model::CellStyle &style(uint32_t row, uint32_t col) const { return book().styles().at(cell(row, col).style); }
    void SetUp() override { ASSERT_TRUE(result_->workbook) << result_->message; }

    static readers::ReadResult *result_;
};
readers::ReadResult *FormatsWorkbook::result_ = nullptr;

}  // namespace

TEST_F(FormatsWorkbook, SheetsInOrderWithVisibility) {
    ASSERT_EQ(book().sheetCount(), 3u);
    EXPECT_EQ(book().sheet(0).name, "数据");
    EXPECT_EQ(book().sheet(1).name, "Second");
    EXPECT_EQ(book().sheet(2).name, "Hidden");
    EXPECT_FALSE(book().sheet(0).hidden);
    EXPECT_TRUE(book().sheet(2).hidden);
    EXPECT_EQ(book().text(*book().sheet(1).findCell(1, 1)), "only on sheet two");
    EXPECT_EQ(book().sheet(1).findCell(3, 2)->number, 42.0);
    EXPECT_FALSE(book().date1904);
}

TEST_F(FormatsWorkbook, ValuesOfEveryKind) {
    struct TextCase {
        uint32_t row, col;
        const char *expected;
    } texts[] = {{1, 1, "编号"},    {2, 2, "张三"},         {3, 5, "含,逗号"},
                 {4, 2, "Wang Wu"}, {4, 5, "line1\nline2"}, {7, 1, "合并单元格"}};
    for (const TextCase &t : texts) EXPECT_EQ(text(t.row, t.col), t.expected) << t.row << "," << t.col;
    EXPECT_EQ(cell(2, 1).number, 1.0);
    EXPECT_EQ(cell(2, 3).number, 1234.5);
    EXPECT_EQ(cell(3, 3).number, -20.0);
    EXPECT_EQ(cell(4, 3).number, 0.125);
    EXPECT_EQ(cell(2, 6).type, model::CellType::Boolean);
    EXPECT_TRUE(cell(2, 6).boolean);
}

TEST_F(FormatsWorkbook, FormulaResultsAreCached) {
    EXPECT_EQ(text(5, 2), "张三李四");
    EXPECT_DOUBLE_EQ(cell(5, 3).number, 1234.5 - 20 + 0.125);
    EXPECT_EQ(cell(5, 4).type, model::CellType::Boolean);
    EXPECT_TRUE(cell(5, 4).boolean);
    EXPECT_EQ(cell(5, 5).type, model::CellType::Error);
    EXPECT_EQ(cell(5, 5).error, model::CellError::Div0);
}

TEST_F(FormatsWorkbook, DatesKeepTheirSerialAndFormat) {
    EXPECT_EQ(cell(2, 4).number, 45306.0);  // 2024-01-15
    EXPECT_EQ(cell(3, 4).number, 36525.0);  // 1999-12-31
    EXPECT_DOUBLE_EQ(cell(4, 4).number, 45352.0 + 13.5 / 24);
    EXPECT_TRUE(numfmt::isDateFormat(style(2, 4).numberFormat)) << style(2, 4).numberFormat;
    EXPECT_TRUE(numfmt::isDateFormat(style(4, 4).numberFormat)) << style(4, 4).numberFormat;
    EXPECT_FALSE(numfmt::isDateFormat(style(2, 3).numberFormat));
    EXPECT_EQ(style(2, 3).numberFormat, "#,##0.00");
}

TEST_F(FormatsWorkbook, FontsFillsBordersAlignment) {
    // LibreOffice stores the East Asian font of Chinese text as the cell's font.
    const model::CellStyle &a1 = style(1, 1);
    EXPECT_EQ(a1.font.size, 14.0);
    EXPECT_TRUE(a1.font.bold);
    EXPECT_TRUE(a1.font.italic);
    EXPECT_EQ(a1.font.color, model::rgb(0xFF0000));
    const model::CellStyle &b1 = style(1, 2);
    EXPECT_EQ(b1.fill.pattern, 1);
    EXPECT_EQ(b1.fill.foreground, model::rgb(0xFFFF00));
    const model::CellStyle &c1 = style(1, 3);
    EXPECT_EQ(c1.border.left.style, 1);
    EXPECT_EQ(c1.border.left.color, model::rgb(0x0000FF));
    EXPECT_EQ(c1.border.bottom.style, 6);
    EXPECT_EQ(c1.border.top.style, 1);
    const model::CellStyle &e4 = style(4, 5);
    EXPECT_TRUE(e4.alignment.wrap);
    EXPECT_EQ(e4.alignment.horizontal, model::HorizontalAlignment::Center);
    EXPECT_EQ(e4.alignment.vertical, model::VerticalAlignment::Top);
    // Cells in the workbook's normal format use the default style.
    EXPECT_EQ(cell(4, 2).style, 0u);
    EXPECT_EQ(book().styles().defaultStyle().font.name, "Calibri");
    EXPECT_EQ(book().styles().defaultStyle().font.size, 11.0);
}

TEST_F(FormatsWorkbook, LayoutMergesWidthsHeights) {
    ASSERT_EQ(data().merges.size(), 1u);
    EXPECT_EQ(data().merges[0], (model::CellArea{7, 1, 8, 3}));
    const model::ColumnInfo *b = nullptr;
    for (const model::ColumnInfo &c : data().columns)
        if (c.first <= 2 && c.last >= 2) b = &c;
    ASSERT_NE(b, nullptr);
    EXPECT_NEAR(b->width, 20.0, 0.75);
    ASSERT_NE(data().findRow(2), nullptr);
    EXPECT_NEAR(data().findRow(2)->height, 30.0, 0.1);
    ASSERT_NE(data().findRow(6), nullptr);
    EXPECT_TRUE(data().findRow(6)->hidden);
}

TEST(XlsFixtures, Date1904Workbook) {
    auto r = readers::readXls(fixture("date1904.xls"));
    ASSERT_TRUE(r.workbook) << r.message;
    EXPECT_TRUE(r.workbook->date1904);
    const model::Cell *a1 = r.workbook->sheet(0).findCell(1, 1);
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->number, 43890.0 - 1462.0);  // 2020-02-29 counted from 1904
    EXPECT_EQ(numfmt::formatNumber(a1->number, r.workbook->styles().at(a1->style).numberFormat, true), "2020-02-29");
}

TEST(XlsFixtures, LongSharedStringTable) {
    auto r = readers::readXls(fixture("long-strings.xls"));
    ASSERT_TRUE(r.workbook) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    for (uint32_t i = 0; i < 40; ++i) {
        char expectedA[64], expectedB[64];
        std::snprintf(expectedA, sizeof expectedA, "行%03u 中文内容测试", i);
        std::snprintf(expectedB, sizeof expectedB, "row %03u plain ascii text", i);
        ASSERT_NE(s.findCell(i + 1, 1), nullptr);
        EXPECT_EQ(wb.text(*s.findCell(i + 1, 1)), expectedA);
        EXPECT_EQ(wb.text(*s.findCell(i + 1, 2)), expectedB);
    }
    std::string longText;
    for (int i = 0; i < 5000; ++i) longText += "长";
    ASSERT_NE(s.findCell(41, 1), nullptr);
    EXPECT_EQ(wb.text(*s.findCell(41, 1)), longText);
}

TEST(XlsFixtures, PasswordProtectedWorkbookIsEncrypted) {
    auto r = readers::readXls(fixture("encrypted.xls"));
    EXPECT_EQ(r.workbook, nullptr);
    EXPECT_EQ(r.status, readers::ReadStatus::Encrypted);
}

// The same workbook saved by the same producer as .xlsx must read the same:
// values, texts, number formats, the main font and fill attributes, merges.
TEST(XlsFixtures, AgreesWithTheSameDataSavedAsXlsx) {
    auto xls = readers::readXls(fixture("formats.xls"));
    auto xlsx = readers::readXlsx(fixture("formats-same-data.xlsx"));
    ASSERT_TRUE(xls.workbook) << xls.message;
    ASSERT_TRUE(xlsx.workbook) << xlsx.message;
    const model::WorkbookModel &a = *xls.workbook, &b = *xlsx.workbook;
    ASSERT_EQ(a.sheetCount(), b.sheetCount());
    size_t compared = 0;
    for (size_t i = 0; i < a.sheetCount(); ++i) {
        const model::Sheet &sa = a.sheet(i), &sb = b.sheet(i);
        EXPECT_EQ(sa.name, sb.name);
        EXPECT_EQ(sa.merges.size(), sb.merges.size());
        EXPECT_EQ(sa.cellCount() > 0, sb.cellCount() > 0);
        for (const model::Row &row : sa.rows()) {
            for (const model::Cell &c : row.cells) {
                if (!c.hasValue()) continue;
                const model::Cell *d = sb.findCell(row.index, c.column);
                ASSERT_NE(d, nullptr) << sa.name << " " << row.index << "," << c.column;
                EXPECT_EQ(c.type, d->type) << row.index << "," << c.column;
                if (c.type == model::CellType::Number) {
                    EXPECT_DOUBLE_EQ(c.number, d->number);
                }
                EXPECT_EQ(a.text(c), b.text(*d));
                const model::CellStyle &x = a.styles().at(c.style), &y = b.styles().at(d->style);
                EXPECT_EQ(x.numberFormat, y.numberFormat) << row.index << "," << c.column;
                EXPECT_EQ(x.font.bold, y.font.bold);
                EXPECT_EQ(x.font.size, y.font.size);
                EXPECT_EQ(x.fill.pattern, y.fill.pattern);
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 30u);  // every value cell of the three sheets
}
