// SPDX-License-Identifier: Apache-2.0
// Reads workbooks built record by record, so each BIFF record kind is
// checked against values known from how it was written.
#include "BiffTestWriter.h"

#include "automation/readers/Readers.h"
#include "automation/readers/xls/BiffStyles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace automation;
using namespace xlstest;

namespace {

namespace rec {
constexpr uint16_t Formula = 0x0006, Eof = 0x000A, DateMode = 0x0022, FilePass = 0x002F, Continue = 0x003C,
                   CodePage = 0x0042, ColInfo = 0x007D, MulRk = 0x00BD, MulBlank = 0x00BE, MergedCells = 0x00E5,
                   Sst = 0x00FC, LabelSst = 0x00FD, Blank = 0x0201, Number = 0x0203, Label = 0x0204, BoolErr = 0x0205,
                   String = 0x0207, Row = 0x0208, Rk = 0x027E, ShrFmla = 0x04BC, Bof = 0x0809;
}

constexpr uint16_t kOtherXf = kFilledXf;

readers::ReadResult readStream(const Bytes &stream, const char *name, const char *streamName = "Workbook") {
    const std::string path = tempPath(name);
    if (!writeCompoundFile(path, stream, streamName)) return readers::ReadResult::fail(readers::ReadStatus::Unreadable);
    return readers::readXls(path);
}

readers::ReadResult readSheetRecords(const Bytes &records, const std::vector<Bytes> &globals, const char *name) {
    return readStream(buildWorkbook(globals, {SheetPlan{"Data", 0, records}}), name);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes formulaRecord(uint16_t row, uint16_t col, const Bytes &value) {
    return recordBytes(rec::Formula,
                       Payload().raw(cellHeader(row, col, kNormalXf)).raw(value).u16(0).u32(0).u16(0).bytes());
}

Bytes specialResult(uint8_t kind, uint8_t value) {
    return Payload().u8(kind).u8(0).u8(value).u8(0).u16(0).u16(0xFFFF).bytes();
}

double rkNumber(uint32_t rk, const char *name) {
    auto r =
        readSheetRecords(recordBytes(rec::Rk, Payload().raw(cellHeader(0, 0, kNormalXf)).u32(rk).bytes()), {}, name);
    if (!r.workbook) return NAN;
    const model::Cell *c = r.workbook->sheet(0).findCell(1, 1);
    return c && c->type == model::CellType::Number ? c->number : NAN;
}

uint32_t rkFromDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return static_cast<uint32_t>(bits >> 32);
}

}  // namespace

TEST(XlsRecords, RkValuesDecodeInAllFourForms) {
    struct Case {
        uint32_t rk;
        double expected;
    } cases[] = {
        {(1u << 2) | 2u, 1.0},
        {(static_cast<uint32_t>(-5) << 2) | 2u, -5.0},
        {(12345u << 2) | 3u, 123.45},
        {rkFromDouble(1.5), 1.5},
        {rkFromDouble(125.0) | 1u, 1.25},
        {rkFromDouble(-0.0625), -0.0625},
    };
    for (const Case &c : cases) EXPECT_DOUBLE_EQ(rkNumber(c.rk, "rk.xls"), c.expected) << std::hex << c.rk;
}

TEST(XlsRecords, CellRecordsGiveValuesAndFormats) {
    const Bytes sheet = concat({
        recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, kNormalXf)).f64(3.25).bytes()),
        recordBytes(rec::Label, Payload().raw(cellHeader(0, 1, kNormalXf)).str16(u"中文 text").bytes()),
        recordBytes(rec::BoolErr, Payload().raw(cellHeader(0, 2, kNormalXf)).u8(1).u8(0).bytes()),
        recordBytes(rec::BoolErr, Payload().raw(cellHeader(0, 3, kNormalXf)).u8(0x2A).u8(1).bytes()),
        recordBytes(rec::BoolErr, Payload().raw(cellHeader(0, 4, kNormalXf)).u8(0x07).u8(1).bytes()),
        recordBytes(rec::Blank, cellHeader(1, 0, kOtherXf)),
        recordBytes(rec::Blank, cellHeader(1, 1, kNormalXf)),
        recordBytes(rec::MulRk, Payload()
                                    .u16(2)
                                    .u16(1)
                                    .u16(kNormalXf)
                                    .u32((7u << 2) | 2u)
                                    .u16(kOtherXf)
                                    .u32((8u << 2) | 2u)
                                    .u16(2)
                                    .bytes()),
        recordBytes(rec::MulBlank, Payload().u16(3).u16(0).u16(kNormalXf).u16(kOtherXf).u16(kNormalXf).u16(2).bytes()),
    });
    auto r = readSheetRecords(sheet, {}, "cells.xls");
    ASSERT_TRUE(r.workbook) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(s.findCell(1, 1)->number, 3.25);
    EXPECT_EQ(wb.text(*s.findCell(1, 2)), "中文 text");
    EXPECT_EQ(s.findCell(1, 3)->type, model::CellType::Boolean);
    EXPECT_TRUE(s.findCell(1, 3)->boolean);
    EXPECT_EQ(s.findCell(1, 4)->error, model::CellError::NA);
    EXPECT_EQ(s.findCell(1, 5)->error, model::CellError::Div0);
    // A blank in the normal format is no cell at all; one with a format of its own is.
    ASSERT_NE(s.findCell(2, 1), nullptr);
    EXPECT_NE(s.findCell(2, 1)->style, 0u);
    EXPECT_EQ(s.findCell(2, 2), nullptr);
    EXPECT_EQ(s.findCell(3, 2)->number, 7.0);
    EXPECT_EQ(s.findCell(3, 2)->style, 0u);
    EXPECT_EQ(s.findCell(3, 3)->number, 8.0);
    EXPECT_NE(s.findCell(3, 3)->style, 0u);
    EXPECT_EQ(s.findCell(4, 1), nullptr);
    EXPECT_FALSE(s.findCell(4, 2)->hasValue());
    EXPECT_EQ(s.findCell(4, 3), nullptr);
    model::CellArea used;
    ASSERT_TRUE(s.usedArea(&used));
    EXPECT_EQ(used, (model::CellArea{1, 1, 4, 5}));
}

TEST(XlsRecords, FormulaResultsOfEveryKind) {
    const Bytes sheet = concat({
        formulaRecord(0, 0, Payload().f64(42.5).bytes()),
        formulaRecord(0, 1, specialResult(0, 0)),
        recordBytes(rec::ShrFmla, Bytes(10, 0)),  // may come between a formula and its text
        recordBytes(rec::String, Payload().str8("computed").bytes()),
        formulaRecord(0, 2, specialResult(1, 1)),
        formulaRecord(0, 3, specialResult(2, 0x17)),
        formulaRecord(0, 4, specialResult(3, 0)),
        // A long text result broken into a CONTINUE that switches to UTF-16.
        formulaRecord(1, 0, specialResult(0, 0)),
        recordBytes(rec::String, Payload().u16(6).u8(0).raw({'a', 'b', 'c'}).bytes()),
        recordBytes(rec::Continue, Payload().u8(1).u16(u'中').u16(u'文').u16(u'!').bytes()),
    });
    auto r = readSheetRecords(sheet, {}, "formula.xls");
    ASSERT_TRUE(r.workbook) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(s.findCell(1, 1)->number, 42.5);
    EXPECT_EQ(wb.text(*s.findCell(1, 2)), "computed");
    EXPECT_TRUE(s.findCell(1, 3)->boolean);
    EXPECT_EQ(s.findCell(1, 4)->error, model::CellError::Ref);
    EXPECT_EQ(s.findCell(1, 5)->type, model::CellType::String);
    EXPECT_EQ(wb.text(*s.findCell(1, 5)), "");
    EXPECT_EQ(wb.text(*s.findCell(2, 1)), "abc中文!");
}

TEST(XlsRecords, SharedStringsAcrossContinueRecords) {
    // String 0 starts 8-bit and continues as UTF-16; string 1 is rich text
    // whose formatting runs straddle the boundary; string 2 carries phonetic
    // data; string 3 starts afresh in the last CONTINUE.
    const Bytes sst = concat({
        recordBytes(rec::Sst, Payload().u32(4).u32(4).u16(5).u8(0).raw({'H', 'e'}).bytes()),
        recordBytes(rec::Continue, Payload()
                                       .u8(1)
                                       .u16(u'l')
                                       .u16(u'好')
                                       .u16(u'!')
                                       .u16(3)
                                       .u8(0x08)
                                       .u16(2)
                                       .raw({'x', 'y', 'z'})
                                       .u32(0)
                                       .u16(0)
                                       .bytes()),
        recordBytes(rec::Continue, Payload().u16(0).u16(2).u8(0x04).u32(3).raw({'p', 'q'}).raw({1, 2, 3}).bytes()),
        recordBytes(rec::Continue, Payload().str16(u"末尾").bytes()),
    });
    Bytes cells;
    for (uint16_t i = 0; i < 5; ++i) {
        const Bytes c = recordBytes(rec::LabelSst, Payload().raw(cellHeader(i, 0, kNormalXf)).u32(i).bytes());
        cells.insert(cells.end(), c.begin(), c.end());
    }
    auto r = readSheetRecords(cells, {sst}, "sst.xls");
    ASSERT_TRUE(r.workbook) << r.message;
    const model::WorkbookModel &wb = *r.workbook;
    const model::Sheet &s = wb.sheet(0);
    EXPECT_EQ(wb.text(*s.findCell(1, 1)), "Hel好!");
    EXPECT_EQ(wb.text(*s.findCell(2, 1)), "xyz");
    EXPECT_EQ(wb.text(*s.findCell(3, 1)), "pq");
    EXPECT_EQ(wb.text(*s.findCell(4, 1)), "末尾");
    // An index past the table reads as empty text instead of another string.
    EXPECT_EQ(wb.text(*s.findCell(5, 1)), "");
}

TEST(XlsRecords, RowsColumnsMergesAndDateSystem) {
    const Bytes sheet = concat({
        recordBytes(rec::ColInfo, Payload().u16(1).u16(2).u16(20 * 256).u16(kNormalXf).u16(0).u16(0).bytes()),
        recordBytes(rec::ColInfo, Payload().u16(4).u16(4).u16(256).u16(kNormalXf).u16(1).u16(0).bytes()),
        recordBytes(rec::Row, Payload().u16(0).u16(0).u16(1).u16(600).u16(0).u16(0).u32(0x40).bytes()),
        recordBytes(rec::Row, Payload().u16(2).u16(0).u16(1).u16(255).u16(0).u16(0).u32(0x20).bytes()),
        recordBytes(rec::Row, Payload().u16(3).u16(0).u16(1).u16(255).u16(0).u16(0).u32(0).bytes()),
        recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, kNormalXf)).f64(1).bytes()),
        recordBytes(rec::MergedCells, Payload().u16(2).u16(4).u16(5).u16(0).u16(2).u16(7).u16(7).u16(1).u16(1).bytes()),
    });
    auto r = readSheetRecords(sheet, {recordBytes(rec::DateMode, Payload().u16(1).bytes())}, "layout.xls");
    ASSERT_TRUE(r.workbook) << r.message;
    EXPECT_TRUE(r.workbook->date1904);
    const model::Sheet &s = r.workbook->sheet(0);
    ASSERT_EQ(s.columns.size(), 2u);
    EXPECT_EQ(s.columns[0].first, 2u);
    EXPECT_EQ(s.columns[0].last, 3u);
    EXPECT_DOUBLE_EQ(s.columns[0].width, 20.0);
    EXPECT_TRUE(s.columns[1].hidden);
    ASSERT_NE(s.findRow(1), nullptr);
    EXPECT_FLOAT_EQ(s.findRow(1)->height, 30.0f);
    ASSERT_NE(s.findRow(3), nullptr);
    EXPECT_TRUE(s.findRow(3)->hidden);
    EXPECT_EQ(s.findRow(4), nullptr);  // a row record with nothing of its own adds nothing
    // A one-cell "merge" merges nothing and is dropped.
    ASSERT_EQ(s.merges.size(), 1u);
    EXPECT_EQ(s.merges[0], (model::CellArea{5, 1, 6, 3}));
}

TEST(XlsRecords, OnlyWorksheetsBecomeSheets) {
    // An embedded chart inside a worksheet has its own BOF..EOF; its records
    // are not cells of the sheet.
    const Bytes withChart = concat({
        recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, kNormalXf)).f64(1).bytes()),
        recordBytes(rec::Bof, Payload().u16(0x0600).u16(0x0020).u32(0).u32(0).bytes()),
        recordBytes(rec::Number, Payload().raw(cellHeader(9, 9, kNormalXf)).f64(99).bytes()),
        recordBytes(rec::Eof, {}),
        recordBytes(rec::Number, Payload().raw(cellHeader(1, 0, kNormalXf)).f64(2).bytes()),
    });
    const Bytes stream = buildWorkbook(
        {}, {SheetPlan{"First", 0, withChart}, SheetPlan{"Chart1", 2, {}, 0x0020}, SheetPlan{"Last", 0, {}}});
    auto r = readStream(stream, "sheets.xls");
    ASSERT_TRUE(r.workbook) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 2u);
    EXPECT_EQ(r.workbook->sheet(0).name, "First");
    EXPECT_EQ(r.workbook->sheet(1).name, "Last");
    EXPECT_EQ(r.workbook->sheet(0).cellCount(), 2u);
    EXPECT_EQ(r.workbook->sheet(0).findCell(2, 1)->number, 2.0);
}

// Ids below the first custom one are built-in formats whatever code a FORMAT
// record spells them with: the model keeps both the code and the id.
TEST(XlsRecords, BuiltInFormatIdsStayBuiltIn) {
    readers::xls::BiffStyles styles(true, nullptr);
    const Bytes font =
        Payload().u16(200).u16(0).u16(0x7FFF).u16(400).u16(0).u8(0).u8(0).u8(0).u8(0).str8("Arial", false).bytes();
    styles.addFont(font.data(), font.size());
    const Bytes shortDate = Payload().u16(14).str8("m/d/yyyy").bytes();
    const Bytes custom = Payload().u16(164).str8("yyyy-mm-dd").bytes();
    styles.addFormat(shortDate.data(), shortDate.size());
    styles.addFormat(custom.data(), custom.size());
    const uint16_t formats[] = {0, 14, 164, 4, 22};
    for (uint16_t format : formats) {
        Bytes xf = Payload().u16(0).u16(format).u16(0x0001).bytes();
        xf.resize(20, 0);
        styles.addXf(xf.data(), xf.size());
    }
    model::StyleTable table;
    styles.resolve(&table);
    const auto style = [&](uint16_t xf) { return table.at(styles.styleOf(xf)); };
    EXPECT_EQ(style(0).builtinFormatId, 0);
    EXPECT_EQ(style(0).numberFormat, "General");
    EXPECT_EQ(style(1).builtinFormatId, 14);
    EXPECT_EQ(style(1).numberFormat, "m/d/yyyy");  // shown as the file spells it
    EXPECT_EQ(style(2).builtinFormatId, 0);
    EXPECT_EQ(style(2).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(style(3).builtinFormatId, 4);
    EXPECT_EQ(style(3).numberFormat, "#,##0.00");
    EXPECT_EQ(style(4).builtinFormatId, 22);
}

TEST(XlsRecords, FontsAndPaletteColours) {
    constexpr uint16_t kFontRecord = 0x0031, kPaletteRecord = 0x0092;
    // 12 pt, italic + struck out, bold weight, superscript, double underline, colour index 10.
    const Bytes font = recordBytes(
        kFontRecord,
        Payload().u16(240).u16(0x000A).u16(10).u16(700).u16(1).u8(2).u8(0).u8(0).u8(0).str16(u"宋体", false).bytes());
    Payload palette;
    palette.u16(56);
    for (int i = 0; i < 56; ++i) palette.u8(i == 2 ? 0x12 : 0).u8(i == 2 ? 0x34 : 0).u8(i == 2 ? 0x56 : 0).u8(0);
    struct Case {
        const char *name;
        std::vector<Bytes> globals;
        model::Color expected;
    } cases[] = {
        {"default-palette.xls", {font}, model::rgb(0xFF0000)},
        {"own-palette.xls", {recordBytes(kPaletteRecord, palette.bytes()), font}, model::rgb(0x123456)},
    };
    for (const Case &c : cases) {
        auto r = readStream(buildWorkbook(c.globals, {SheetPlan{"S", 0, {}}}), c.name);
        ASSERT_TRUE(r.workbook) << c.name;
        // Every XF of the skeleton uses font 0, the one given here.
        const model::Font &f = r.workbook->styles().defaultStyle().font;
        EXPECT_EQ(f.color, c.expected) << c.name;
        EXPECT_EQ(f.name, "宋体");
        EXPECT_EQ(f.size, 12.0);
        EXPECT_TRUE(f.italic);
        EXPECT_TRUE(f.strike);
        EXPECT_TRUE(f.bold);
        EXPECT_EQ(f.script, 1);
        EXPECT_EQ(f.underline, model::Underline::Double);
    }
}

TEST(XlsRecords, Biff5TextUsesTheCodePage) {
    // "中文" in GBK.
    const Bytes gbk = {0xD6, 0xD0, 0xCE, 0xC4};
    const Bytes sheet = recordBytes(rec::Label, Payload().raw(cellHeader(0, 0, kNormalXf)).u16(4).raw(gbk).bytes());
    SheetPlan plan{"S", 0, sheet};
    const Bytes stream = buildWorkbook({recordBytes(rec::CodePage, Payload().u16(936).bytes())}, {plan}, 0x0500);
    auto r = readStream(stream, "biff5.xls", "Book");
    ASSERT_TRUE(r.workbook) << r.message;
    EXPECT_EQ(r.workbook->text(*r.workbook->sheet(0).findCell(1, 1)), "中文");
    EXPECT_EQ(r.workbook->styles().defaultStyle().font.name, "Arial");
}

TEST(XlsRecords, FailuresAreStatusesNotWorkbooks) {
    struct Case {
        const char *name;
        Bytes stream;
        const char *streamName;
        readers::ReadStatus expected;
    } cases[] = {
        {"filepass.xls", buildWorkbook({recordBytes(rec::FilePass, Payload().u16(1).raw(Bytes(52, 0)).bytes())}, {}),
         "Workbook", readers::ReadStatus::Encrypted},
        {"package.xls", Bytes(64, 0), "EncryptedPackage", readers::ReadStatus::Encrypted},
        {"otherstream.xls", Bytes(64, 0), "WordDocument", readers::ReadStatus::Unsupported},
        {"nobof.xls", recordBytes(rec::Number, Bytes(14, 0)), "Workbook", readers::ReadStatus::Corrupt},
    };
    for (const Case &c : cases) {
        auto r = readStream(c.stream, c.name, c.streamName);
        EXPECT_EQ(r.workbook, nullptr) << c.name;
        EXPECT_EQ(r.status, c.expected) << c.name;
    }
    EXPECT_EQ(readers::readXls(tempPath("does-not-exist.xls")).status, readers::ReadStatus::NotFound);
}
