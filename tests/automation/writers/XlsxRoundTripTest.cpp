// SPDX-License-Identifier: Apache-2.0
#include "WriterTestSupport.h"
#include "automation/readers/Readers.h"
#include "automation/writers/Writers.h"

#include "SchemaValidation.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

using automation::model::Cell;
using automation::model::CellArea;
using automation::model::CellError;
using automation::model::CellStyle;
using automation::model::CellType;
using automation::model::ColumnInfo;
using automation::model::HorizontalAlignment;
using automation::model::rgb;
using automation::model::Sheet;
using automation::model::Underline;
using automation::model::VerticalAlignment;
using automation::model::WorkbookModel;
using automation::readers::readXlsx;
using automation::writers::writeXlsx;
using writertest::ScratchFolder;

namespace {

constexpr double kWidthTolerance = 1.0 / 256;  // the file stores widths in 1/256 steps

std::unique_ptr<WorkbookModel> readBack(const std::string &path) {
    auto result = readXlsx(path);
    EXPECT_TRUE(result.workbook) << result.message;
    return std::move(result.workbook);
}

std::unique_ptr<WorkbookModel> saveAndRead(const WorkbookModel &wb, const ScratchFolder &folder,
                                           const std::string &name) {
    const std::string path = folder.file(name);
    const auto saved = writeXlsx(wb, path);
    EXPECT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(path)), "");
    return readBack(path);
}

// An error cell is written as its error literal with the error as cached
// result, and must read back as that error, not as its text.
bool sameError(const WorkbookModel &, const Cell &a, const WorkbookModel &, const Cell &b) {
    return b.type == CellType::Error && a.error == b.error;
}

// libxlsxwriter gives every font without a colour the theme's text colour,
// which reads back as black: the same to the eye as automatic.
automation::model::Font comparableFont(automation::model::Font font) {
    if (font.color == rgb(0x000000)) font.color = automation::model::kAutoColor;
    return font;
}

void expectSameCell(const WorkbookModel &wa, const Cell &a, const WorkbookModel &wb, const Cell &b, uint32_t row) {
    SCOPED_TRACE("row " + std::to_string(row) + " column " + std::to_string(a.column));
    if (a.type == CellType::Error) {
        EXPECT_TRUE(sameError(wa, a, wb, b));
    } else {
        ASSERT_EQ(static_cast<int>(a.type), static_cast<int>(b.type));
        switch (a.type) {
            case CellType::Number:
                EXPECT_EQ(a.number, b.number);
                break;
            case CellType::String:
                EXPECT_EQ(wa.text(a), wb.text(b));
                break;
            case CellType::Boolean:
                EXPECT_EQ(a.boolean, b.boolean);
                break;
            default:
                break;
        }
    }
    const CellStyle &sa = wa.styles().at(a.style);
    const CellStyle &sb = wb.styles().at(b.style);
    EXPECT_EQ(sa.numberFormat, sb.numberFormat);
    EXPECT_TRUE(comparableFont(sa.font) == comparableFont(sb.font))
        << sa.font.name << "/" << sb.font.name << " " << sa.font.size << "/" << sb.font.size << " colour " << std::hex
        << sa.font.color << "/" << sb.font.color;
    EXPECT_TRUE(sa.fill == sb.fill) << static_cast<int>(sa.fill.pattern) << "/" << static_cast<int>(sb.fill.pattern)
                                    << std::hex << " fg " << sa.fill.foreground << "/" << sb.fill.foreground << " bg "
                                    << sa.fill.background << "/" << sb.fill.background;
    EXPECT_TRUE(sa.border == sb.border);
    EXPECT_TRUE(sa.alignment == sb.alignment)
        << static_cast<int>(sa.alignment.horizontal) << "/" << static_cast<int>(sb.alignment.horizontal) << " "
        << static_cast<int>(sa.alignment.vertical) << "/" << static_cast<int>(sb.alignment.vertical) << " rot "
        << sa.alignment.rotation << "/" << sb.alignment.rotation;
    EXPECT_EQ(sa.locked, sb.locked);
    EXPECT_EQ(sa.hidden, sb.hidden);
}

const ColumnInfo *columnAt(const Sheet &s, uint32_t column) {
    for (const ColumnInfo &c : s.columns)
        if (column >= c.first && column <= c.last) return &c;
    return nullptr;
}

void expectSameSheet(const WorkbookModel &wa, const Sheet &a, const WorkbookModel &wb, const Sheet &b) {
    SCOPED_TRACE("sheet " + a.name);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.hidden, b.hidden);

    // Every used cell comes back, and nothing else.
    size_t usedA = 0, usedB = 0;
    for (const auto &row : a.rows())
        for (const Cell &cell : row.cells) {
            if (!cell.isUsed()) continue;
            ++usedA;
            const Cell *other = b.findCell(row.index, cell.column);
            if (!other) {
                ADD_FAILURE() << "missing cell at row " << row.index << " column " << cell.column;
                continue;
            }
            expectSameCell(wa, cell, wb, *other, row.index);
        }
    for (const auto &row : b.rows())
        for (const Cell &cell : row.cells) usedB += cell.isUsed() ? 1 : 0;
    EXPECT_EQ(usedA, usedB);

    for (const auto &row : a.rows()) {
        const auto *other = b.findRow(row.index);
        if (!row.hasFormat()) continue;
        ASSERT_NE(other, nullptr) << "row " << row.index;
        EXPECT_EQ(row.hidden, other->hidden) << "row " << row.index;
        if (row.height >= 0) {
            EXPECT_FLOAT_EQ(row.height, other->height) << "row " << row.index;
        }
    }

    uint32_t lastColumn = 0;
    for (const ColumnInfo &c : a.columns) lastColumn = std::max(lastColumn, c.last);
    for (uint32_t col = 1; col <= lastColumn; ++col) {
        const ColumnInfo *ca = columnAt(a, col);
        if (!ca) continue;
        const ColumnInfo *cb = columnAt(b, col);
        ASSERT_NE(cb, nullptr) << "column " << col;
        EXPECT_EQ(ca->hidden, cb->hidden) << "column " << col;
        if (!ca->hidden && ca->width >= 0) {
            EXPECT_NEAR(ca->width, cb->width, kWidthTolerance) << "column " << col;
        }
    }

    auto merges = [](std::vector<CellArea> m) {
        std::sort(m.begin(), m.end(), [](const CellArea &x, const CellArea &y) {
            return std::tie(x.firstRow, x.firstColumn) < std::tie(y.firstRow, y.firstColumn);
        });
        return m;
    };
    EXPECT_TRUE(merges(a.merges) == merges(b.merges)) << a.merges.size() << " vs " << b.merges.size();
}

void expectSameWorkbook(const WorkbookModel &a, const WorkbookModel &b) {
    ASSERT_EQ(a.sheetCount(), b.sheetCount());
    for (size_t i = 0; i < a.sheetCount(); ++i) expectSameSheet(a, a.sheet(i), b, b.sheet(i));
}

WorkbookModel richModel() {
    WorkbookModel wb;
    CellStyle header;
    header.font.bold = true;
    header.font.size = 12;
    header.font.color = rgb(0x1F4E78);
    header.fill.pattern = 1;
    header.fill.foreground = rgb(0xDDEBF7);
    header.border.bottom = {2, rgb(0x000000)};
    header.alignment.horizontal = HorizontalAlignment::Center;
    header.alignment.vertical = VerticalAlignment::Center;
    CellStyle money;
    money.numberFormat = "#,##0.00";
    money.font.name = "Arial";
    money.font.italic = true;
    money.font.underline = Underline::Double;
    CellStyle date;
    date.numberFormat = "yyyy-mm-dd";
    date.border.left = {4, rgb(0xFF0000)};
    date.border.diagonal = {1, rgb(0x00B050)};
    date.border.diagonalUp = true;
    date.alignment.rotation = 45;
    date.alignment.wrap = true;
    date.locked = false;
    CellStyle pattern;
    pattern.fill.pattern = 7;
    pattern.fill.foreground = rgb(0xFFC000);
    pattern.fill.background = rgb(0x7030A0);
    pattern.font.strike = true;
    pattern.font.script = 1;
    pattern.alignment.horizontal = HorizontalAlignment::Right;
    pattern.alignment.indent = 2;
    pattern.alignment.rotation = 120;
    const uint32_t h = wb.mutableStyles().intern(header);
    const uint32_t m = wb.mutableStyles().intern(money);
    const uint32_t d = wb.mutableStyles().intern(date);
    const uint32_t p = wb.mutableStyles().intern(pattern);

    Sheet &s = wb.appendSheet("\xE7\xBB\x93\xE6\x9E\x9C");  // Chinese sheet name
    auto str = [&](const std::string &t) { return wb.mutableStrings().intern(t); };
    s.setCell(1, Cell::makeString(1, str("Name"), h));
    s.setCell(1, Cell::makeString(2, str("Amount"), h));
    s.setCell(1, Cell::makeString(3, str("Date"), h));
    s.setCell(1, Cell::makeEmpty(4, h));
    s.setCell(2, Cell::makeString(1, str("\xE5\xBC\xA0\xE4\xB8\x89, \"quoted\"\nline")));
    s.setCell(2, Cell::makeNumber(2, 1234.5, m));
    s.setCell(2, Cell::makeNumber(3, 45000, d));
    s.setCell(2, Cell::makeBoolean(4, true, p));
    s.setCell(3, Cell::makeString(1, str("  spaced  ")));
    s.setCell(3, Cell::makeNumber(2, -0.000123456789));
    s.setCell(3, Cell::makeError(3, CellError::Div0));
    s.setCell(3, Cell::makeBoolean(4, false));
    s.setCell(5, Cell::makeString(1, str("merged")));
    s.merges = {CellArea{5, 1, 6, 3}};
    s.rowForWrite(1).height = 24;
    s.rowForWrite(4).hidden = true;
    ColumnInfo nameColumn;
    nameColumn.first = nameColumn.last = 1;
    nameColumn.width = 30.7109375;
    ColumnInfo hiddenColumn;
    hiddenColumn.first = hiddenColumn.last = 6;
    hiddenColumn.hidden = true;
    s.columns = {nameColumn, hiddenColumn};

    Sheet &second = wb.appendSheet("Second");
    second.setCell(1, Cell::makeNumber(1, 1e300));
    second.setCell(100, Cell::makeString(30, wb.mutableStrings().intern("far away")));
    wb.appendSheet("Hidden").hidden = true;
    wb.mutableSheet(2).setCell(1, Cell::makeString(1, wb.mutableStrings().intern("secret")));
    return wb;
}

TEST(XlsxRoundTrip, AModelComesBackCellByCellAndFormatByFormat) {
    ScratchFolder folder;
    const WorkbookModel wb = richModel();
    const auto back = saveAndRead(wb, folder, "model.xlsx");
    ASSERT_TRUE(back);
    expectSameWorkbook(wb, *back);
}

TEST(XlsxRoundTrip, ASecondRoundTripChangesNothing) {
    ScratchFolder folder;
    const auto once = saveAndRead(richModel(), folder, "once.xlsx");
    ASSERT_TRUE(once);
    const auto twice = saveAndRead(*once, folder, "twice.xlsx");
    ASSERT_TRUE(twice);
    expectSameWorkbook(*once, *twice);
}

TEST(XlsxRoundTrip, TextsComeBackAsTheyWere) {
    struct Case {
        const char *label;
        std::string value;
        std::string expected;
    };
    const Case cases[] = {
        {"control character", "a\x01b", "a\x01b"},
        {"NUL", std::string("before \0 after", 14), std::string("before \0 after", 14)},
        {"XML non-characters", "x\xEF\xBF\xBFy\xEF\xBF\xBEz", "x\xEF\xBF\xBFy\xEF\xBF\xBEz"},
        {"escape look-alike", "c_x0041_d", "c_x0041_d"},
        {"escaped look-alike", "_x005F_x0041_", "_x005F_x0041_"},
        {"tab and line ends", "x\ty\r\nz\n", "x\ty\r\nz\n"},
        {"outer spaces", "  padded  ", "  padded  "},
        {"beyond the BMP", "\xF0\x9F\x98\x80 \xE4\xB8\xAD", "\xF0\x9F\x98\x80 \xE4\xB8\xAD"},
        {"broken UTF-8", "bad \xFF\xC3 end", "bad \xEF\xBF\xBD\xEF\xBF\xBD end"},
        {"markup", "<b>&amp;</b>", "<b>&amp;</b>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        ScratchFolder folder;
        WorkbookModel wb;
        wb.appendSheet("S").setCell(1, Cell::makeString(1, wb.mutableStrings().intern(c.value)));
        const auto back = saveAndRead(wb, folder, "texts.xlsx");
        ASSERT_TRUE(back);
        const Cell *cell = back->sheet(0).findCell(1, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(back->text(*cell), c.expected);
    }
}

TEST(XlsxRoundTrip, ALongTextWithEscapeLookAlikesIsCutToTheLimit) {
    ScratchFolder folder;
    WorkbookModel wb;
    std::string value;
    while (value.size() < 40000) value += "_x0041_";
    wb.appendSheet("S").setCell(1, Cell::makeString(1, wb.mutableStrings().intern(value)));
    const auto back = saveAndRead(wb, folder, "long.xlsx");
    ASSERT_TRUE(back);
    const std::string text(back->text(*back->sheet(0).findCell(1, 1)));
    EXPECT_LE(text.size(), 32767u);
    EXPECT_GT(text.size(), 4000u);
    EXPECT_EQ(text, value.substr(0, text.size()));
}

// A template as a spreadsheet application would hand it over, made here by libxlsxwriter.
std::string makeTemplate(const ScratchFolder &folder) {
    const std::string path = folder.file("template.xlsx");
    lxw_workbook *book = workbook_new(path.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(book, "Header");
    lxw_format *title = workbook_add_format(book);
    format_set_bold(title);
    format_set_font_size(title, 16);
    format_set_align(title, LXW_ALIGN_CENTER);
    format_set_align(title, LXW_ALIGN_VERTICAL_CENTER);
    format_set_pattern(title, LXW_PATTERN_SOLID);
    format_set_fg_color(title, 0xFCE4D6);
    format_set_border(title, LXW_BORDER_THIN);
    lxw_format *percent = workbook_add_format(book);
    format_set_num_format(percent, "0.0%");
    format_set_font_color(percent, LXW_COLOR_RED);
    worksheet_set_column(ws, 0, 2, 18, nullptr);
    worksheet_set_row(ws, 0, 32, nullptr);
    worksheet_merge_range(ws, 0, 0, 0, 2, "Monthly report", title);
    worksheet_write_string(ws, 1, 0, "Region", title);
    worksheet_write_string(ws, 1, 1, "Share", title);
    worksheet_write_number(ws, 2, 1, 0.125, percent);
    worksheet_write_boolean(ws, 2, 2, 1, nullptr);
    lxw_worksheet *notes = workbook_add_worksheet(book, "Notes");
    worksheet_write_string(notes, 0, 0, "keep me", nullptr);
    worksheet_hide(notes);
    EXPECT_EQ(workbook_close(book), LXW_NO_ERROR);
    return path;
}

TEST(XlsxRoundTrip, ATemplateSurvivesReadAndSave) {
    ScratchFolder folder;
    const auto original = readBack(makeTemplate(folder));
    ASSERT_TRUE(original);
    ASSERT_EQ(original->sheetCount(), 2u);
    const auto saved = saveAndRead(*original, folder, "result.xlsx");
    ASSERT_TRUE(saved);
    expectSameWorkbook(*original, *saved);
    const Sheet &header = saved->sheet(0);
    ASSERT_EQ(header.merges.size(), 1u);
    EXPECT_TRUE((header.merges[0] == CellArea{1, 1, 1, 3}));
    const Cell *title = header.findCell(1, 1);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(saved->text(*title), "Monthly report");
    EXPECT_TRUE(saved->styles().at(title->style).font.bold);
    EXPECT_EQ(saved->styles().at(header.findCell(3, 2)->style).numberFormat, "0.0%");
}

}  // namespace

// A large workbook goes out row by row (constant memory, texts inline): merges
// must still all be there, whichever row they start on, and every cell must
// read back as written.
TEST(XlsxRoundTrip, LargeWorkbookWrittenRowByRowKeepsEveryCellAndMerge) {
    ScratchFolder folder;
    WorkbookModel wb;
    Sheet &sheet = wb.appendSheet("Big");
    CellStyle bold;
    bold.font.bold = true;
    const uint32_t boldId = wb.mutableStyles().intern(bold);
    constexpr uint32_t kRows = 21000, kColumns = 10;  // past the row-by-row threshold
    for (uint32_t r = 1; r <= kRows; ++r) {
        if (r % 1000 == 0) continue;  // rows without cells, some of them where a merge starts
        for (uint32_t c = 1; c <= kColumns; ++c) {
            if (c % 2)
                sheet.setCell(r, Cell::makeNumber(c, r * 100.0 + c));
            else
                sheet.setCell(r, Cell::makeString(c, wb.mutableStrings().intern("t" + std::to_string((r + c) % 97)),
                                                  r % 7 == 0 ? boldId : 0));
        }
        if (r % 500 == 0) sheet.rowForWrite(r).height = 33;
    }
    sheet.merges = {CellArea{2000, 1, 2003, 2}, CellArea{5, 3, 5, 6}, CellArea{kRows + 5, 1, kRows + 6, 3},
                    CellArea{12000, 4, 12000, 9}, CellArea{3000, 1, 3001, 1}};
    const std::string path = folder.file("big.xlsx");
    const auto saved = writeXlsx(wb, path);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(writertest::zipEntry(path, "xl/sharedStrings.xml"), "");
    EXPECT_EQ(schemacheck::joined(schemacheck::packageProblems(path)), "");

    auto back = readBack(path);
    ASSERT_TRUE(back);
    const Sheet &read = back->sheet(0);
    EXPECT_EQ(read.cellCount(), sheet.cellCount());
    std::vector<CellArea> expected = sheet.merges, actual = read.merges;
    const auto byStart = [](const CellArea &a, const CellArea &b) {
        return std::tie(a.firstRow, a.firstColumn) < std::tie(b.firstRow, b.firstColumn);
    };
    std::sort(expected.begin(), expected.end(), byStart);
    std::sort(actual.begin(), actual.end(), byStart);
    EXPECT_EQ(actual, expected);
    for (const uint32_t r : {1u, 7u, 500u, 999u, 1001u, 14007u, kRows - 1}) {
        SCOPED_TRACE("row " + std::to_string(r));
        const auto *row = read.findRow(r);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->height >= 0 ? row->height : -1.0f, r % 500 == 0 ? 33.0f : -1.0f);
        ASSERT_EQ(row->cells.size(), kColumns);
        EXPECT_EQ(row->cells[0].number, r * 100.0 + 1);
        EXPECT_EQ(back->text(row->cells[1]), "t" + std::to_string((r + 2) % 97));
        EXPECT_EQ(back->styles().at(row->cells[1].style).font.bold, r % 7 == 0);
    }
}
