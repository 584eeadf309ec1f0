// SPDX-License-Identifier: Apache-2.0
// Workbooks written by libxlsxwriter, read back and checked cell by cell and
// format by format.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cmath>

using namespace automation;
using namespace automation::readers;
using model::CellType;

namespace {

struct Written {
    readertest::TempFolder folder;
    std::string path;
};

const model::Cell *cellAt(const model::WorkbookModel &wb, const std::string &sheet, uint32_t row, uint32_t col) {
    const int i = wb.sheetIndex(sheet);
    return i < 0 ? nullptr : wb.sheet(static_cast<size_t>(i)).findCell(row, col);
}

class XlsxWrittenWorkbook : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new readertest::TempFolder;
        path_ = folder_->path("written.xlsx");
        lxw_workbook *wb = workbook_new(path_.c_str());

        lxw_format *bold = workbook_add_format(wb);
        format_set_bold(bold);
        format_set_italic(bold);
        format_set_font_color(bold, 0xFF0000);
        format_set_font_size(bold, 14);
        format_set_font_name(bold, "Arial");
        format_set_underline(bold, LXW_UNDERLINE_DOUBLE);

        lxw_format *filled = workbook_add_format(wb);
        format_set_pattern(filled, LXW_PATTERN_SOLID);
        format_set_bg_color(filled, 0xFFFF00);
        format_set_border(filled, LXW_BORDER_THIN);
        format_set_bottom(filled, LXW_BORDER_DOUBLE);
        format_set_bottom_color(filled, 0x0000FF);
        format_set_align(filled, LXW_ALIGN_CENTER);
        format_set_align(filled, LXW_ALIGN_VERTICAL_TOP);
        format_set_text_wrap(filled);
        format_set_num_format(filled, "0.00");  // a built-in format: no code in the file

        lxw_format *custom = workbook_add_format(wb);
        format_set_num_format(custom, "#,##0.000;[Red]-#,##0.000");
        format_set_rotation(custom, 45);
        format_set_align(custom, LXW_ALIGN_RIGHT);
        format_set_indent(custom, 2);
        format_set_unlocked(custom);
        format_set_hidden(custom);

        lxw_format *date = workbook_add_format(wb);
        format_set_num_format(date, "yyyy-mm-dd hh:mm");

        lxw_worksheet *data = workbook_add_worksheet(wb, "Data");
        worksheet_write_string(data, 0, 0, "Name", bold);
        worksheet_write_number(data, 0, 1, 42.5, filled);
        worksheet_write_boolean(data, 0, 2, 1, nullptr);
        worksheet_write_formula_num(data, 0, 3, "=B1*2", nullptr, 85);
        worksheet_write_formula_str(data, 0, 4, "=\"a\"&\"b\"", nullptr, "ab");
        lxw_datetime when = {2024, 3, 1, 10, 30, 0};
        worksheet_write_datetime(data, 0, 5, &when, date);
        worksheet_write_number(data, 1, 0, -1234.5678, custom);
        worksheet_write_string(data, 1, 1, "Name", nullptr);  // shared with A1
        worksheet_write_blank(data, 1, 2, filled);            // format only
        worksheet_set_column(data, 0, 0, 20, nullptr);
        worksheet_set_column(data, 3, 5, 12.5, nullptr);
        worksheet_set_row(data, 1, 30, nullptr);
        worksheet_merge_range(data, 2, 1, 3, 3, "merged", nullptr);
        worksheet_write_string(data, 99, 27, "far", nullptr);  // AB100

        lxw_chart *chart = workbook_add_chart(wb, LXW_CHART_COLUMN);
        chart_add_series(chart, nullptr, "=Data!$B$1:$B$2");
        lxw_chartsheet *chartsheet = workbook_add_chartsheet(wb, "Chart1");
        chartsheet_set_chart(chartsheet, chart);

        lxw_worksheet *hidden = workbook_add_worksheet(wb, "Hidden");
        worksheet_write_number(hidden, 0, 0, 7, nullptr);
        worksheet_hide(hidden);

        lxw_worksheet *chinese = workbook_add_worksheet(wb, "第三表");
        lxw_format *red = workbook_add_format(wb);
        format_set_font_color(red, 0xFF0000);
        lxw_rich_string_tuple part1 = {nullptr, const_cast<char *>("普通")};
        lxw_rich_string_tuple part2 = {red, const_cast<char *>("红色")};
        lxw_rich_string_tuple *rich[] = {&part1, &part2, nullptr};
        worksheet_write_rich_string(chinese, 0, 0, rich, nullptr);
        worksheet_write_string(chinese, 1, 0, "line1\nline2", nullptr);

        ok_ = workbook_close(wb) == LXW_NO_ERROR;
        result_ = new ReadResult(readXlsx(path_));
    }
    static void TearDownTestSuite() {
        delete result_;
        delete folder_;
    }

    const model::WorkbookModel &wb() const { return *result_->workbook; }
    const model::CellStyle &styleOf(const model::Cell *c) const { return wb().styles().at(c->style); }

    static readertest::TempFolder *folder_;
    static std::string path_;
    static bool ok_;
    static ReadResult *result_;
};

readertest::TempFolder *XlsxWrittenWorkbook::folder_ = nullptr;
std::string XlsxWrittenWorkbook::path_;
bool XlsxWrittenWorkbook::ok_ = false;
ReadResult *XlsxWrittenWorkbook::result_ = nullptr;

TEST_F(XlsxWrittenWorkbook, OpensWithWorksheetsInOrderAndChartSheetLeftOut) {
    ASSERT_TRUE(ok_);
    ASSERT_EQ(result_->status, ReadStatus::Ok) << result_->message;
    ASSERT_TRUE(result_->workbook);
    ASSERT_EQ(wb().sheetCount(), 3u);
    EXPECT_EQ(wb().sheet(0).name, "Data");
    EXPECT_EQ(wb().sheet(1).name, "Hidden");
    EXPECT_TRUE(wb().sheet(1).hidden);
    EXPECT_FALSE(wb().sheet(0).hidden);
    EXPECT_EQ(wb().sheet(2).name, "第三表");
    EXPECT_FALSE(wb().date1904);
}

TEST_F(XlsxWrittenWorkbook, ValuesOfEveryKind) {
    ASSERT_TRUE(result_->workbook);
    struct Expect {
        uint32_t row, col;
        CellType type;
        double number;
        const char *text;
    } cases[] = {
        {1, 1, CellType::String, 0, "Name"},
        {1, 2, CellType::Number, 42.5, nullptr},
        {1, 3, CellType::Boolean, 1, nullptr},
        {1, 4, CellType::Number, 85, nullptr},  // formula: cached result
        {1, 5, CellType::String, 0, "ab"},      // formula with a text result
        {2, 1, CellType::Number, -1234.5678, nullptr},
        {2, 2, CellType::String, 0, "Name"},
        {3, 2, CellType::String, 0, "merged"},
        {100, 28, CellType::String, 0, "far"},
    };
    for (const Expect &e : cases) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << " col " << e.col);
        const model::Cell *c = cellAt(wb(), "Data", e.row, e.col);
        ASSERT_NE(c, nullptr);
        ASSERT_EQ(c->type, e.type);
        if (e.type == CellType::Number) {
            EXPECT_DOUBLE_EQ(c->number, e.number);
        }
        if (e.type == CellType::Boolean) {
            EXPECT_TRUE(c->boolean);
        }
        if (e.text) {
            EXPECT_EQ(wb().text(*c), e.text);
        }
    }
    const model::Cell *when = cellAt(wb(), "Data", 1, 6);
    ASSERT_NE(when, nullptr);
    EXPECT_NEAR(when->number, 45352 + 10.5 / 24, 1e-9);  // 2024-03-01 10:30
    EXPECT_EQ(styleOf(when).numberFormat, "yyyy-mm-dd hh:mm");
}

TEST_F(XlsxWrittenWorkbook, FormatOnlyCellIsKeptAndUsedAreaSpansAllCells) {
    ASSERT_TRUE(result_->workbook);
    const model::Cell *blank = cellAt(wb(), "Data", 2, 3);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->type, CellType::Empty);
    EXPECT_EQ(styleOf(blank).fill.pattern, 1);
    model::CellArea used;
    ASSERT_TRUE(wb().sheet(0).usedArea(&used));
    EXPECT_EQ(used, (model::CellArea{1, 1, 100, 28}));
}

TEST_F(XlsxWrittenWorkbook, FontFillBorderAlignmentAndNumberFormats) {
    ASSERT_TRUE(result_->workbook);
    const model::CellStyle &font = styleOf(cellAt(wb(), "Data", 1, 1));
    EXPECT_TRUE(font.font.bold);
    EXPECT_TRUE(font.font.italic);
    EXPECT_EQ(font.font.name, "Arial");
    EXPECT_DOUBLE_EQ(font.font.size, 14);
    EXPECT_EQ(font.font.underline, model::Underline::Double);
    EXPECT_EQ(font.font.color, model::rgb(0xFF0000));

    const model::CellStyle &fill = styleOf(cellAt(wb(), "Data", 1, 2));
    EXPECT_EQ(fill.fill.pattern, 1);
    EXPECT_EQ(fill.fill.foreground, model::rgb(0xFFFF00));
    EXPECT_EQ(fill.border.left.style, 1);
    EXPECT_EQ(fill.border.top.style, 1);
    EXPECT_EQ(fill.border.bottom.style, 6);
    EXPECT_EQ(fill.border.bottom.color, model::rgb(0x0000FF));
    EXPECT_EQ(fill.alignment.horizontal, model::HorizontalAlignment::Center);
    EXPECT_EQ(fill.alignment.vertical, model::VerticalAlignment::Top);
    EXPECT_TRUE(fill.alignment.wrap);
    EXPECT_EQ(fill.numberFormat, "0.00");
    EXPECT_EQ(fill.font.name, "Calibri");
    // The default font's colour is a theme colour (dark 1): black.
    EXPECT_EQ(fill.font.color, model::rgb(0x000000));

    const model::CellStyle &custom = styleOf(cellAt(wb(), "Data", 2, 1));
    EXPECT_EQ(custom.numberFormat, "#,##0.000;[Red]-#,##0.000");
    EXPECT_EQ(custom.alignment.rotation, 45);
    EXPECT_EQ(custom.alignment.horizontal, model::HorizontalAlignment::Right);
    EXPECT_EQ(custom.alignment.indent, 2);
    EXPECT_FALSE(custom.locked);
    EXPECT_TRUE(custom.hidden);

    const model::Cell *plain = cellAt(wb(), "Data", 2, 2);
    EXPECT_EQ(plain->style, 0u);
    EXPECT_EQ(wb().styles().defaultStyle().numberFormat, "General");
}

TEST_F(XlsxWrittenWorkbook, ColumnWidthsRowHeightsAndMerges) {
    ASSERT_TRUE(result_->workbook);
    const model::Sheet &s = wb().sheet(0);
    ASSERT_GE(s.columns.size(), 2u);
    EXPECT_EQ(s.columns[0].first, 1u);
    EXPECT_EQ(s.columns[0].last, 1u);
    EXPECT_NEAR(s.columns[0].width, 20.71, 0.01);  // the file stores width plus padding
    EXPECT_EQ(s.columns[1].first, 4u);
    EXPECT_EQ(s.columns[1].last, 6u);
    for (size_t i = 1; i < s.columns.size(); ++i) EXPECT_GT(s.columns[i].first, s.columns[i - 1].last);
    const model::Row *row2 = s.findRow(2);
    ASSERT_NE(row2, nullptr);
    EXPECT_FLOAT_EQ(row2->height, 30.0f);
    ASSERT_EQ(s.merges.size(), 1u);
    EXPECT_EQ(s.merges[0], (model::CellArea{3, 2, 4, 4}));
}

TEST_F(XlsxWrittenWorkbook, RichTextJoinedAndLineBreaksKept) {
    ASSERT_TRUE(result_->workbook);
    const model::Cell *rich = cellAt(wb(), "第三表", 1, 1);
    ASSERT_NE(rich, nullptr);
    EXPECT_EQ(wb().text(*rich), "普通红色");
    EXPECT_EQ(wb().text(*cellAt(wb(), "第三表", 2, 1)), "line1\nline2");
    EXPECT_DOUBLE_EQ(cellAt(wb(), "Hidden", 1, 1)->number, 7);
}

TEST_F(XlsxWrittenWorkbook, DispatchByContentEvenUnderAnotherName) {
    ASSERT_TRUE(ok_);
    readertest::TempFolder folder;
    const std::string renamed = folder.path("really_a_zip.xls");
    ASSERT_TRUE(readertest::writeBytes(renamed, readertest::readBytes(path_)));
    ReadResult r = readWorkbookFile(renamed);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    EXPECT_EQ(r.workbook->sheetCount(), 3u);
}

// Constant-memory mode writes every text as an inline string.
TEST(XlsxInlineStrings, ConstantMemoryWorkbookReadsTheSame) {
    readertest::TempFolder folder;
    const std::string path = folder.path("inline.xlsx");
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *wb = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    for (int r = 0; r < 200; ++r) {
        worksheet_write_string(ws, r, 0, ("row " + std::to_string(r)).c_str(), nullptr);
        worksheet_write_number(ws, r, 1, r * 1.5, nullptr);
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    ReadResult res = readWorkbookFile(path);
    ASSERT_EQ(res.status, ReadStatus::Ok) << res.message;
    const model::Sheet &s = res.workbook->sheet(0);
    EXPECT_EQ(s.name, "Sheet1");
    ASSERT_EQ(s.rows().size(), 200u);
    for (uint32_t r = 1; r <= 200; r += 37) {
        EXPECT_EQ(res.workbook->text(*s.findCell(r, 1)), "row " + std::to_string(r - 1));
        EXPECT_DOUBLE_EQ(s.findCell(r, 2)->number, (r - 1) * 1.5);
    }
}

}  // namespace
