// SPDX-License-Identifier: Apache-2.0
// SpreadsheetML as other producers write it: prefixes, missing addresses,
// inline strings only, odd dimensions, ISO dates, theme colours.
#include "ReaderTestFiles.h"

#include "automation/readers/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace automation;
using namespace automation::readers;
using model::CellType;
using readertest::HandPackage;

namespace {

ReadResult readHand(const HandPackage &p) {
    readertest::TempFolder folder;
    const std::string path = folder.path("hand.xlsx");
    if (!readertest::writeHandPackage(path, p)) return ReadResult::fail(ReadStatus::Unreadable, "test setup");
    return readWorkbookFile(path);
}

TEST(XlsxHandWritten, PrefixedElementsWithoutAddressesAndInlineStringsOnly) {
    HandPackage p;
    p.prefix = "x:";
    p.sheets.push_back({"Export",
                        "<x:dimension ref=\"A1\"/><x:sheetData>"
                        "<x:row><x:c t=\"inlineStr\"><x:is><x:t>id</x:t></x:is></x:c>"
                        "<x:c t=\"inlineStr\"><x:is><x:t xml:space=\"preserve\"> name </x:t></x:is></x:c></x:row>"
                        "<x:row><x:c><x:v>1</x:v></x:c><x:c t=\"inlineStr\"><x:is><x:r><x:t>Zh</x:t></x:r>"
                        "<x:r><x:t>ang</x:t></x:r></x:is></x:c></x:row>"
                        "<x:row r=\"5\"><x:c r=\"C5\"><x:v>3.25</x:v></x:c><x:c><x:v>4</x:v></x:c></x:row>"
                        "<x:row><x:c t=\"b\"><x:v>0</x:v></x:c></x:row>"
                        "</x:sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(s.name, "Export");
    EXPECT_EQ(wb.text(*s.findCell(1, 1)), "id");
    EXPECT_EQ(wb.text(*s.findCell(1, 2)), " name ");
    EXPECT_DOUBLE_EQ(s.findCell(2, 1)->number, 1);
    EXPECT_EQ(wb.text(*s.findCell(2, 2)), "Zhang");
    EXPECT_DOUBLE_EQ(s.findCell(5, 3)->number, 3.25);
    EXPECT_DOUBLE_EQ(s.findCell(5, 4)->number, 4);  // follows C5
    ASSERT_NE(s.findCell(6, 1), nullptr);           // follows row 5
    EXPECT_EQ(s.findCell(6, 1)->type, CellType::Boolean);
    EXPECT_FALSE(s.findCell(6, 1)->boolean);
    model::CellArea used;
    ASSERT_TRUE(s.usedArea(&used));  // the dimension said A1; the cells say otherwise
    EXPECT_EQ(used, (model::CellArea{1, 1, 6, 4}));
}

TEST(XlsxHandWritten, ErrorsFormulaTextsAndRowsOutOfOrder) {
    HandPackage p;
    p.sheets.push_back({"S",
                        "<sheetData>"
                        "<row r=\"3\"><c r=\"A3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
                        "<c r=\"B3\" t=\"e\"><v>#N/A</v></c></row>"
                        "<row r=\"1\"><c r=\"A1\" t=\"str\"><f>\"x\"&amp;\"y\"</f><v>xy</v></c>"
                        "<c r=\"B1\"><f>SUM(A9)</f></c>"
                        "<c r=\"C1\" t=\"n\"><v> 12 </v></c></row>"
                        "</sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::Sheet &s = r.workbook->sheet(0);
    ASSERT_EQ(s.rows().size(), 2u);
    EXPECT_EQ(s.rows()[0].index, 1u);  // kept in ascending order
    EXPECT_EQ(s.findCell(3, 1)->type, CellType::Error);
    EXPECT_EQ(s.findCell(3, 1)->error, model::CellError::Div0);
    EXPECT_EQ(s.findCell(3, 2)->error, model::CellError::NA);
    EXPECT_EQ(r.workbook->text(*s.findCell(1, 1)), "xy");
    ASSERT_NE(s.findCell(1, 2), nullptr);  // a formula without a cached value is calculated
    EXPECT_EQ(s.findCell(1, 2)->type, CellType::Number);
    EXPECT_DOUBLE_EQ(s.findCell(1, 2)->number, 0);
    EXPECT_EQ(r.workbook->formulasNotEvaluated, 0u);
    EXPECT_DOUBLE_EQ(s.findCell(1, 3)->number, 12);
}

TEST(XlsxHandWritten, DateSystemsAndIsoDateCells) {
    struct Case {
        const char *workbookPr;
        bool date1904;
        double serial;  // of 2024-03-01 12:00
    } cases[] = {
        {"", false, 45352.5}, {"date1904=\"1\"", true, 45352.5 - 1462}, {"date1904=\"false\"", false, 45352.5}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.workbookPr);
        HandPackage p;
        p.workbookPrAttributes = c.workbookPr;
        p.sheets.push_back({"D",
                            "<sheetData><row r=\"1\"><c r=\"A1\" t=\"d\"><v>2024-03-01T12:00:00</v></c>"
                            "<c r=\"B1\" t=\"d\"><v>1900-01-01</v></c></row></sheetData>"});
        ReadResult r = readHand(p);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        EXPECT_EQ(r.workbook->date1904, c.date1904);
        EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1, 1)->number, c.serial);
        const model::Cell *early = r.workbook->sheet(0).findCell(1, 2);
        if (c.date1904) {
            EXPECT_EQ(early->type, CellType::String);  // before the 1904 epoch: kept as written
        } else {
            EXPECT_DOUBLE_EQ(early->number, 1);
        }
    }
}

TEST(XlsxHandWritten, SharedStringsRichRunsPhoneticAndEscapes) {
    HandPackage p;
    p.sharedStrings =
        "<si><t>plain</t></si>"
        "<si><r><rPr><b/></rPr><t>bo</t></r><r><t>ld</t></r></si>"
        "<si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>"
        "<si><t>a_x000D_b_x005F_x0041_</t></si>"
        "<si><t>" +
        std::string(40000, 'z') + "</t></si>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                        "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c>"
                        "<c r=\"E1\" t=\"s\"><v>4</v></c></row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(wb.text(*s.findCell(1, 1)), "plain");
    EXPECT_EQ(wb.text(*s.findCell(1, 2)), "bold");
    EXPECT_EQ(wb.text(*s.findCell(1, 3)), "東京");
    EXPECT_EQ(wb.text(*s.findCell(1, 4)), "a\rb_x0041_");
    EXPECT_EQ(wb.text(*s.findCell(1, 5)).size(), 32767u);
}

TEST(XlsxHandWritten, EscapedNulAndNonCharactersKeepTheTextAroundThem) {
    HandPackage p;
    p.sharedStrings = "<si><t>before _x0000_ after</t></si><si><r><t>x_xFFFF_</t></r><r><t>_x0000_y</t></r></si>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                        "<c r=\"C1\" t=\"inlineStr\"><is><t>in_x0000_line_xFFFE_</t></is></c></row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(wb.text(*s.findCell(1, 1)), std::string("before \0 after", 14));
    EXPECT_EQ(wb.text(*s.findCell(1, 2)), std::string("x\xEF\xBF\xBF\0y", 6));
    EXPECT_EQ(wb.text(*s.findCell(1, 3)), std::string("in\0line\xEF\xBF\xBE", 10));
}

TEST(XlsxHandWritten, BuiltInFormatsKeepTheirIds) {
    HandPackage p;
    p.styles =
        "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/></numFmts>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
        "<xf numFmtId=\"10\"/></cellXfs>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c><c r=\"B1\" s=\"2\"><v>1</v></c>"
                        "<c r=\"C1\" s=\"3\"><v>1</v></c></row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const auto style = [&](uint32_t column) { return wb.styles().at(wb.sheet(0).findCell(1, column)->style); };
    EXPECT_EQ(style(1).builtinFormatId, 14);
    EXPECT_EQ(style(1).numberFormat, "yyyy/m/d");
    EXPECT_EQ(style(2).builtinFormatId, 0);
    EXPECT_EQ(style(2).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(style(3).builtinFormatId, 10);
    EXPECT_EQ(style(3).numberFormat, "0.00%");
}

TEST(XlsxHandWritten, GradientFillsKeepTheirStops) {
    HandPackage p;
    p.styles =
        "<fills count=\"4\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill>"
        "<fill><gradientFill degree=\"90\"><stop position=\"0\"><color rgb=\"FFFF0000\"/></stop>"
        "<stop position=\"1\"><color indexed=\"12\"/></stop></gradientFill></fill>"
        "<fill><gradientFill type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\">"
        "<stop position=\"0\"><color rgb=\"FF00FF00\"/></stop><stop position=\"0.5\"><color auto=\"1\"/></stop>"
        "<stop position=\"1\"><color rgb=\"FF0000FF\"/></stop></gradientFill></fill></fills>"
        "<cellXfs count=\"3\"><xf/><xf fillId=\"2\"/><xf fillId=\"3\"/></cellXfs>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c><c r=\"B1\" s=\"2\"><v>2</v></c>"
                        "</row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const auto fill = [&](uint32_t column) { return wb.styles().at(wb.sheet(0).findCell(1, column)->style).fill; };
    const model::Fill linear = fill(1);
    EXPECT_FALSE(linear.gradient.path);
    EXPECT_EQ(linear.gradient.degree, 90);
    EXPECT_EQ(linear.gradient.stops,
              (std::vector<model::GradientStop>{{0, model::rgb(0xFF0000)}, {1, model::rgb(0x0000FF)}}));
    // Where gradients are not drawn, the first colour stands for it.
    EXPECT_EQ(linear.pattern, 1);
    EXPECT_EQ(linear.foreground, model::rgb(0xFF0000));
    const model::Fill path = fill(2);
    EXPECT_TRUE(path.gradient.path);
    EXPECT_EQ(path.gradient.left, 0.5);
    EXPECT_EQ(path.gradient.bottom, 0.5);
    EXPECT_EQ(path.gradient.stops,
              (std::vector<model::GradientStop>{
                  {0, model::rgb(0x00FF00)}, {0.5, model::kAutoColor}, {1, model::rgb(0x0000FF)}}));
}

TEST(XlsxHandWritten, ThemeIndexedAndTintedColoursResolveToRgb) {
    HandPackage p;
    p.theme =
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
        "<a:clrScheme name=\"t\"><a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
        "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
        "<a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:lt2><a:srgbClr val=\"EEECE1\"/></a:lt2>"
        "<a:accent1><a:srgbClr val=\"102030\"/></a:accent1></a:clrScheme></a:themeElements></a:theme>";
    p.styles =
        "<fonts count=\"3\"><font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/></font>"
        "<font><color theme=\"4\"/></font><font><color indexed=\"10\"/></font></fonts>"
        "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill>"
        "<fill><patternFill patternType=\"solid\"><fgColor theme=\"0\" tint=\"-0.5\"/><bgColor "
        "indexed=\"64\"/></patternFill></fill>"
        "</fills>"
        "<borders count=\"1\"><border><left style=\"thick\"><color "
        "indexed=\"8\"/></left><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
        "<xf numFmtId=\"14\" fontId=\"1\" fillId=\"2\" borderId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\"/>"
        "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellXfs>"
        "<colors><indexedColors>"
        "<rgbColor rgb=\"FF000001\"/><rgbColor rgb=\"FF000002\"/><rgbColor rgb=\"FF000003\"/><rgbColor "
        "rgb=\"FF000004\"/>"
        "<rgbColor rgb=\"FF000005\"/><rgbColor rgb=\"FF000006\"/><rgbColor rgb=\"FF000007\"/><rgbColor "
        "rgb=\"FF000008\"/>"
        "<rgbColor rgb=\"FF000009\"/><rgbColor rgb=\"FF00000A\"/><rgbColor rgb=\"FFABCDEF\"/>"
        "</indexedColors></colors>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c><c r=\"B1\" s=\"2\"><v>2</v></c>"
                        "<c r=\"C1\" s=\"77\"><v>3</v></c></row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    EXPECT_EQ(wb.styles().size(), 4u);  // one entry per cell format, numbering kept
    const model::CellStyle &a1 = wb.styles().at(wb.sheet(0).findCell(1, 1)->style);
    EXPECT_EQ(a1.font.color, model::rgb(0x102030));       // accent1 of this theme
    EXPECT_EQ(a1.fill.foreground, model::rgb(0x808080));  // white darkened by half
    EXPECT_EQ(a1.fill.background, model::kAutoColor);     // system colour: automatic
    EXPECT_FALSE(a1.numberFormat.empty());
    EXPECT_NE(a1.numberFormat, "General");  // built-in date format 14
    const model::CellStyle &b1 = wb.styles().at(wb.sheet(0).findCell(1, 2)->style);
    EXPECT_EQ(b1.font.color, model::rgb(0xABCDEF));  // the file's own palette
    EXPECT_EQ(wb.styles().defaultStyle().font.color, model::rgb(0x000000));
    EXPECT_EQ(wb.styles().defaultStyle().border.left.style, 5);
    EXPECT_EQ(wb.styles().defaultStyle().border.left.color, model::rgb(0x000009));
    EXPECT_EQ(wb.sheet(0).findCell(1, 3)->style, 0u);  // unknown format index
}

// Damage local to a cell or row costs only that cell or row: a cell that can
// be placed (after the one before it, as the applications place a cell
// without a reference) is kept; one beyond the sheet is skipped.
TEST(XlsxHandWritten, BadReferencesCostOnlyTheirCell) {
    struct Expected {
        uint32_t row, column;
        double value;
    };
    struct Case {
        const char *body;
        std::vector<Expected> cells;
    } cases[] = {
        {"<row r=\"1\"><c r=\"A1048577\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>", {{1, 2, 2}}},
        {"<row r=\"1\"><c r=\"XFE1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>", {{1, 2, 2}}},
        {"<row r=\"1\"><c r=\"A99999999999999999999999\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>", {{1, 2, 2}}},
        {"<row r=\"1\"><c r=\"ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row>",
         {{1, 2, 2}}},
        {"<row r=\"1048577\"><c><v>1</v></c></row><row r=\"2\"><c><v>2</v></c></row>", {{2, 1, 2}}},
        {"<row r=\"1048577\"><c r=\"C3\"><v>3</v></c><c><v>4</v></c></row>", {{3, 3, 3}, {3, 4, 4}}},
        {"<row r=\"-3\"><c><v>1</v></c></row>", {{1, 1, 1}}},
        {"<row r=\"0\"><c><v>1</v></c></row><row r=\"2\"><c><v>2</v></c></row>", {{1, 1, 1}, {2, 1, 2}}},
        {"<row r=\"4\"><c><v>1</v></c></row><row r=\"x\"><c><v>2</v></c></row>", {{4, 1, 1}, {5, 1, 2}}},
        {"<row r=\"1\"><c r=\"1A\"><v>1</v></c><c><v>2</v></c></row>", {{1, 1, 1}, {1, 2, 2}}},
        {"<row r=\"2\"><c r=\"A0\"><v>1</v></c><c r=\"\"><v>2</v></c></row>", {{2, 1, 1}, {2, 2, 2}}},
        {"<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>", {{1, 16384, 1}}},
        {"<row r=\"1048576\"><c><v>1</v></c></row><row><c><v>2</v></c></row>", {{1048576, 1, 1}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        HandPackage p;
        p.sheets.push_back({"S", std::string("<sheetData>") + c.body + "</sheetData>"});
        ReadResult r = readHand(p);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        const model::Sheet &sheet = r.workbook->sheet(0);
        EXPECT_EQ(sheet.cellCount(), c.cells.size());
        for (const Expected &e : c.cells) {
            const model::Cell *cell = sheet.findCell(e.row, e.column);
            ASSERT_NE(cell, nullptr) << e.row << "," << e.column;
            EXPECT_DOUBLE_EQ(cell->number, e.value);
        }
    }
}

TEST(XlsxHandWritten, EmptyOrDanglingSharedStringIndexReadsAsEmptyCell) {
    HandPackage p;
    p.sharedStrings = "<si><t>only</t></si>";
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v/></c><c r=\"B1\" t=\"s\"><v>7</v></c>"
                        "<c r=\"C1\" t=\"s\"><v> 0 </v></c><c r=\"D1\" t=\"s\" s=\"0\"><v>x</v></c>"
                        "<c r=\"E1\"><v>5</v></c></row></sheetData>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::Sheet &sheet = r.workbook->sheet(0);
    for (uint32_t column : {1u, 2u, 4u}) {
        const model::Cell *cell = sheet.findCell(1, column);
        EXPECT_TRUE(cell == nullptr || cell->type == CellType::Empty) << column;
    }
    EXPECT_EQ(r.workbook->text(*sheet.findCell(1, 3)), "only");
    EXPECT_DOUBLE_EQ(sheet.findCell(1, 5)->number, 5);

    // No shared strings part at all.
    HandPackage none;
    none.sheets.push_back({"S",
                           "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><v>1</v></c>"
                           "</row></sheetData>"});
    r = readHand(none);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1, 2)->number, 1);
}

TEST(XlsxHandWritten, AMergedAreaBeyondTheSheetIsDropped) {
    HandPackage p;
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"
                        "<mergeCells><mergeCell ref=\"A1:A1048577\"/><mergeCell ref=\"A1:B1\"/></mergeCells>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    EXPECT_EQ(r.workbook->sheet(0).merges.size(), 1u);
}

// A sheet whose part is missing, unreadable or not led to is left out; the
// workbook fails only when no worksheet it lists can be read.
TEST(XlsxHandWritten, UnreadableSheetsAreLeftOutAndTheOthersRead) {
    const char *good = "<sheetData><row r=\"1\"><c r=\"A1\"><v>42</v></c></row></sheetData>";
    HandPackage p;
    p.sheets = {{"Missing", good}, {"Broken", good}, {"Good", good}, {"Unlinked", good}};
    p.edit = [](std::vector<readertest::ZipMember> &members) {
        members.erase(std::remove_if(members.begin(), members.end(),
                                     [](const readertest::ZipMember &m) { return m.first == "data/part1.xml"; }),
                      members.end());
        readertest::findMember(members, "data/part2.xml")->second = "<worksheet><sheetData><row>";
        std::string &rels = readertest::findMember(members, "xl/_rels/workbook.xml.rels")->second;
        rels.replace(rels.find("rIdS4"), 5, "rIdX4");
    };
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    EXPECT_EQ(r.workbook->sheet(0).name, "Good");
    EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1, 1)->number, 42);

    HandPackage alone;
    alone.sheets = {{"Broken", "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"}};  // unclosed
    r = readHand(alone);
    EXPECT_EQ(r.status, ReadStatus::Corrupt);
    EXPECT_EQ(r.workbook, nullptr);
}

// A module or macro sheet listed among the sheets, whose part the package
// does not hold, costs nothing; nor a sheet entry without a relationship.
TEST(XlsxHandWritten, SheetEntriesWithoutPartsDoNotCostTheWorkbook) {
    HandPackage p;
    p.sheets = {{"Data", "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"}};
    p.edit = [](std::vector<readertest::ZipMember> &members) {
        std::string &wb = readertest::findMember(members, "xl/workbook.xml")->second;
        wb.replace(wb.find("</sheets>") - 0, 0,
                   "<sheet name=\"Module1\" sheetId=\"9\" r:id=\"rIdM\"/><sheet name=\"NoLink\" sheetId=\"8\"/>");
        std::string &rels = readertest::findMember(members, "xl/_rels/workbook.xml.rels")->second;
        rels.replace(rels.find("</Relationships>"), 0,
                     "<Relationship Id=\"rIdM\" Type=\"http://schemas.microsoft.com/office/2006/relationships/"
                     "xlMacrosheet\" Target=\"macrosheets/sheet1.xml\"/>");
    };
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    EXPECT_EQ(r.workbook->sheet(0).name, "Data");
}

// Relationship parts are read leniently: stray bytes after the document are
// ignored, and a root relationship part that cannot be read still leads to
// the usual workbook part.
TEST(XlsxHandWritten, RelationshipPartsAreReadLeniently) {
    const char *sheet = "<sheetData><row r=\"1\"><c r=\"A1\"><v>3</v></c></row></sheetData>";
    std::vector<std::function<void(std::vector<readertest::ZipMember> &)>> damage = {
        [](std::vector<readertest::ZipMember> &m) {
            readertest::findMember(m, "_rels/.rels")->second += "\r\n\x1A junk";
        },
        [](std::vector<readertest::ZipMember> &m) {
            readertest::findMember(m, "xl/_rels/workbook.xml.rels")->second += "<!-- a -- b -->trailing";
        },
        [](std::vector<readertest::ZipMember> &m) { readertest::findMember(m, "_rels/.rels")->second = "garbage<"; },
        [](std::vector<readertest::ZipMember> &m) {
            m.erase(std::remove_if(m.begin(), m.end(), [](const auto &x) { return x.first == "_rels/.rels"; }),
                    m.end());
        },
        [](std::vector<readertest::ZipMember> &m) {
            readertest::findMember(m, "[Content_Types].xml")->second = "<Types><Default Extension=xml></Types>";
        },
        [](std::vector<readertest::ZipMember> &m) {
            readertest::findMember(m, "xl/workbook.xml")->second += std::string("\n\n\0x", 4);
        },
    };
    for (size_t i = 0; i < damage.size(); ++i) {
        SCOPED_TRACE(i);
        HandPackage p;
        p.sheets = {{"S", sheet}};
        p.edit = damage[i];
        ReadResult r = readHand(p);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1, 1)->number, 3);
    }
}

// Workbook relationships that cannot be read at all (stray text before the
// document element): the parts are looked for where the applications put them.
TEST(XlsxHandWritten, UnreadableWorkbookRelationshipsFallBackToTheUsualParts) {
    HandPackage p;
    p.sharedStrings = "<si><t>shared</t></si>";
    p.sheets = {{"First", "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData>"},
                {"Second", "<sheetData><row r=\"1\"><c r=\"A1\"><v>2</v></c></row></sheetData>"}};
    p.edit = [](std::vector<readertest::ZipMember> &members) {
        for (readertest::ZipMember &m : members) {
            if (m.first == "data/part1.xml")
                m.first = "xl/worksheets/sheet1.xml";
            else if (m.first == "data/part2.xml")
                m.first = "xl/worksheets/sheet2.xml";
            else if (m.first == "xl/strings.xml")
                m.first = "xl/sharedStrings.xml";
        }
        readertest::findMember(members, "xl/_rels/workbook.xml.rels")->second.insert(0, "\x1A\x1A stray ");
    };
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 2u);
    EXPECT_EQ(r.workbook->sheet(0).name, "First");
    EXPECT_EQ(r.workbook->text(*r.workbook->sheet(0).findCell(1, 1)), "shared");
    EXPECT_DOUBLE_EQ(r.workbook->sheet(1).findCell(1, 1)->number, 2);
}

// The count a shared-strings part declares is a hint to reserve room: a
// count far beyond what the part holds, or not a number, changes nothing.
TEST(XlsxHandWritten, DeclaredSharedStringCountsAreOnlyHints) {
    for (const char *declared : {"4294967295", "16777217", "0", "three"}) {
        SCOPED_TRACE(declared);
        HandPackage p;
        p.sharedStrings = "<si><t>a</t></si><si><t>b</t></si><si><t>c</t></si>";
        p.sheets = {{"S",
                     "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>2</v></c>"
                     "<c r=\"B1\" t=\"s\"><v>0</v></c></row></sheetData>"}};
        p.edit = [declared](std::vector<readertest::ZipMember> &members) {
            std::string &sst = readertest::findMember(members, "xl/strings.xml")->second;
            const size_t at = sst.find("<sst") + 4;
            sst.insert(at, std::string(" count=\"") + declared + "\" uniqueCount=\"" + declared + "\"");
        };
        ReadResult r = readHand(p);
        ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
        EXPECT_EQ(r.workbook->strings().size(), 3u);
        EXPECT_EQ(r.workbook->text(*r.workbook->sheet(0).findCell(1, 1)), "c");
        EXPECT_EQ(r.workbook->text(*r.workbook->sheet(0).findCell(1, 2)), "a");
    }
}

// Damage to the styles, theme or shared strings costs that part only.
TEST(XlsxHandWritten, DamagedSharedPartsCostOnlyThemselves) {
    HandPackage p;
    p.styles = "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>";  // unclosed
    p.sharedStrings = "<si><t>a</t></si><si><t>b</t>";                            // unclosed
    p.theme = "<a:theme xmlns:a=\"x\"><a:themeElements>";
    p.sheets = {{"S",
                 "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>3</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
                 "<c r=\"C1\" t=\"inlineStr\"><is><t>kept</t></is></c></row></sheetData>"}};
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::Sheet &sheet = r.workbook->sheet(0);
    EXPECT_DOUBLE_EQ(sheet.findCell(1, 1)->number, 3);
    EXPECT_EQ(sheet.findCell(1, 1)->style, 0u);
    const model::Cell *b1 = sheet.findCell(1, 2);
    EXPECT_TRUE(b1 == nullptr || b1->type == CellType::Empty);
    EXPECT_EQ(r.workbook->text(*sheet.findCell(1, 3)), "kept");
}

TEST(XlsxHandWritten, LastRowAndColumnAreAccepted) {
    HandPackage p;
    p.sheets.push_back({"S",
                        "<sheetData><row r=\"1048576\"><c r=\"XFD1048576\"><v>9</v></c></row></sheetData>"
                        "<mergeCells count=\"1\"><mergeCell ref=\"A1:B2\"/></mergeCells>"});
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(r.workbook->sheet(0).findCell(1048576, 16384)->number, 9);
    ASSERT_EQ(r.workbook->sheet(0).merges.size(), 1u);
}

// Strict packages name their relationships and elements in other namespaces;
// the reader goes by local names and relationship kinds, so reads them.
TEST(XlsxHandWritten, StrictPackagesRead) {
    HandPackage p;
    p.sheets = {
        {"S", "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>strict</t></is></c></row></sheetData>"}};
    p.edit = [](std::vector<readertest::ZipMember> &members) {
        const std::pair<std::string, std::string> strict[] = {
            {"http://schemas.openxmlformats.org/officeDocument/2006/relationships",
             "http://purl.oclc.org/ooxml/officeDocument/relationships"},
            {"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
             "http://purl.oclc.org/ooxml/spreadsheetml/main"}};
        for (readertest::ZipMember &m : members)
            for (const auto &[from, to] : strict)
                for (size_t at = m.second.find(from); at != std::string::npos; at = m.second.find(from, at + to.size()))
                    m.second.replace(at, from.size(), to);
    };
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    EXPECT_EQ(r.workbook->text(*r.workbook->sheet(0).findCell(1, 1)), "strict");
}

// A document type is tolerated: nothing is fetched, no entity is declared or
// expanded beyond the predefined ones (references to others are skipped), so
// no entity can blow up, and the rest of the part is read.
TEST(XlsxHandWritten, DocumentTypeDeclarationsAreReadWithoutEntities) {
    const std::string laughs =
        "<!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!-- a comment with ] and > and \" -->"
        "<!ENTITY ext SYSTEM \"file:///etc/passwd\">]>";
    HandPackage p;
    p.sheets = {{"S", ""}};
    p.edit = [&](std::vector<readertest::ZipMember> &m) {
        std::string &sheet = readertest::findMember(m, "data/part1.xml")->second;
        sheet = "<?xml version=\"1.0\"?>\n<!-- before -->" + laughs +
                "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x&c;&ext;y&amp;</t></is></c>"
                "<c r=\"B1\" t=\"str\" s=\"&c;\"><v>2</v></c></row></sheetData></worksheet>";
        std::string &wb = readertest::findMember(m, "xl/workbook.xml")->second;
        wb.insert(wb.find("?>") + 2, "<!DOCTYPE workbook SYSTEM \"http://example.invalid/x.dtd\">");
        std::string &rels = readertest::findMember(m, "_rels/.rels")->second;
        rels.insert(0, "<!DOCTYPE Relationships PUBLIC \"-//x//y\" 'z'>");
    };
    ReadResult r = readHand(p);
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    const model::Sheet &sheet = r.workbook->sheet(0);
    EXPECT_EQ(r.workbook->text(*sheet.findCell(1, 1)), "xy&");
    EXPECT_EQ(r.workbook->text(*sheet.findCell(1, 2)), "2");
}

}  // namespace

namespace {

TEST(XlsxHandWritten, CommittedOtherProducerPackageReads) {
    ReadResult r = readWorkbookFile(readertest::fixture("xlsx/other_producer.xlsx"));
    ASSERT_EQ(r.status, ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    const model::Sheet &s = r.workbook->sheet(0);
    EXPECT_EQ(s.name, "导出");
    EXPECT_EQ(r.workbook->text(*s.findCell(1, 3)), "数量");
    EXPECT_EQ(r.workbook->text(*s.findCell(3, 2)), "垫片");
    EXPECT_DOUBLE_EQ(s.findCell(2, 3)->number, 120);
    EXPECT_DOUBLE_EQ(s.findCell(3, 3)->number, 75.5);
    model::CellArea used;
    ASSERT_TRUE(s.usedArea(&used));
    EXPECT_EQ(used, (model::CellArea{1, 1, 3, 3}));
}

}  // namespace
