// SPDX-License-Identifier: Apache-2.0
// Worksheets and workbooks of Excel 2.x to 4.0 (BIFF2, BIFF3, BIFF4 and
// BIFF4 workbooks), written record by record as those versions laid them out.
#include "BiffTestWriter.h"

#include "automation/readers/Readers.h"
#include "automation/readers/xls/BiffLegacyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace automation;
using namespace automation::readers;
using namespace xlstest;

namespace {

namespace rec {
constexpr uint16_t Blank2 = 0x0001, Integer2 = 0x0002, Number2 = 0x0003, Label2 = 0x0004, BoolErr2 = 0x0005,
                   Formula2 = 0x0006, String2 = 0x0007, Row2 = 0x0008, FilePass = 0x002F, CodePage = 0x0042,
                   Ixfe2 = 0x0044, Number = 0x0203, Label = 0x0204, BoolErr = 0x0205, Formula3 = 0x0206,
                   String = 0x0207, Rk = 0x027E, Formula4 = 0x0406;
}

readers::ReadResult readPlain(const Bytes &stream, const std::string &name) {
    const std::string path = tempPath(name);
    if (!writeFile(path, stream)) return readers::ReadResult::fail(readers::ReadStatus::Unreadable, "test setup");
    return readers::readWorkbookFile(path);
}

const model::Cell &cellAt(const readers::ReadResult &r, size_t sheet, uint32_t row, uint32_t column) {
    static const model::Cell missing = model::Cell::makeEmpty(0, 0);
    const model::Cell *c = r.workbook->sheet(sheet).findCell(row, column);
    EXPECT_NE(c, nullptr) << "no cell at " << row << "," << column;
    return c ? *c : missing;
}

const model::CellStyle &styleAt(const readers::ReadResult &r, size_t sheet, uint32_t row, uint32_t column) {
    return r.workbook->styles().at(cellAt(r, sheet, row, column).style);
}

// A cached formula result as the FORMULA record holds it: a number, or a
// marker (0 text in a STRING record, 1 boolean, 2 error) with 0xFFFF on top.
Bytes formulaResult(uint8_t kind, uint8_t value) {
    return Payload().u8(kind).u8(0).u8(value).u8(0).u16(0).u16(0xFFFF).bytes();
}

Bytes latin1(const std::string &s) { return Bytes(s.begin(), s.end()); }

// The records of the formats every test file below starts with: two fonts,
// formats 0 "General" and 1 "yyyy-mm-dd", XF 0 plain, XF 1 dated, XF 2 bold.
std::vector<Bytes> legacyFormats(int version) {
    return {legacyFont(version, 200, false, "Arial"),
            legacyFont(version, 240, true, "Courier"),
            legacyFormat(version, "General"),
            legacyFormat(version, "yyyy-mm-dd"),
            legacyXf(version, 0, 0),
            legacyXf(version, 0, 1),
            legacyXf(version, 1, 0)};
}

std::vector<Bytes> with(std::vector<Bytes> records, std::initializer_list<Bytes> more) {
    records.insert(records.end(), more.begin(), more.end());
    return records;
}

TEST(XlsLegacy, Biff2WorksheetReadsValuesCachedResultsAndFormats) {
    // "é" in Windows-1252, the code page Excel 2.x wrote as 0x8001.
    const std::vector<Bytes> records =
        with(legacyFormats(2),
             {recordBytes(rec::CodePage, Payload().u16(0x8001).bytes()),
              recordBytes(rec::Number2, Payload().raw(biff2CellHeader(0, 0, 0)).f64(1.5).bytes()),
              recordBytes(rec::Integer2, Payload().raw(biff2CellHeader(0, 1, 0)).u16(42).bytes()),
              recordBytes(rec::Label2, Payload().raw(biff2CellHeader(0, 2, 0)).u8(4).raw(latin1("Caf\xE9")).bytes()),
              recordBytes(rec::BoolErr2, Payload().raw(biff2CellHeader(0, 3, 0)).u8(1).u8(0).bytes()),
              recordBytes(rec::BoolErr2, Payload().raw(biff2CellHeader(0, 4, 0)).u8(0x07).u8(1).bytes()),
              recordBytes(rec::Formula2, Payload().raw(biff2CellHeader(0, 5, 0)).f64(7).u8(0).u8(0).bytes()),
              recordBytes(rec::Formula2,
                          Payload().raw(biff2CellHeader(0, 6, 0)).raw(formulaResult(0, 0)).u8(0).u8(0).bytes()),
              recordBytes(rec::String2, Payload().u8(4).raw(latin1("calc")).bytes()),
              recordBytes(rec::Number2, Payload().raw(biff2CellHeader(1, 0, 1)).f64(45000).bytes()),
              recordBytes(rec::Ixfe2, Payload().u16(2).bytes()),
              recordBytes(rec::Label2, Payload().raw(biff2CellHeader(1, 1, 0x3F)).u8(4).raw(latin1("bold")).bytes()),
              recordBytes(rec::Row2, Payload().u16(2).u16(0).u16(1).u16(400).u16(0).u8(0).u16(0).bytes()),
              recordBytes(rec::Blank2, Payload().raw(biff2CellHeader(2, 0, 2)).bytes())});
    const auto r = readPlain(buildLegacyStream(2, records), "ledger 1993.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 1u);
    EXPECT_EQ(r.workbook->sheet(0).name, "ledger 1993");  // a one-sheet file is named after itself
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 1).number, 1.5);
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 2).number, 42);
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 1, 3)), "Café");
    EXPECT_EQ(cellAt(r, 0, 1, 4).type, model::CellType::Boolean);
    EXPECT_TRUE(cellAt(r, 0, 1, 4).boolean);
    EXPECT_EQ(cellAt(r, 0, 1, 5).type, model::CellType::Error);
    EXPECT_EQ(cellAt(r, 0, 1, 5).error, model::CellError::Div0);
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 6).number, 7);
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 1, 7)), "calc");
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 2, 1).number, 45000);
    EXPECT_EQ(styleAt(r, 0, 2, 1).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 2, 2)), "bold");
    EXPECT_TRUE(styleAt(r, 0, 2, 2).font.bold);  // XF 63: the IXFE record's XF
    EXPECT_EQ(styleAt(r, 0, 2, 2).font.name, "Courier");
    EXPECT_FLOAT_EQ(r.workbook->sheet(0).findRow(3)->height, 20.0f);
    EXPECT_TRUE(styleAt(r, 0, 3, 1).font.bold);  // a formatted blank cell keeps its format
    EXPECT_EQ(r.workbook->styles().defaultStyle().font.name, "Arial");
}

TEST(XlsLegacy, Biff2WithoutXfRecordsTakesFormatsFromTheCell) {
    // Excel 2.0 wrote no XF records: each cell names its format and font itself.
    const std::vector<Bytes> records = {
        legacyFont(2, 200, false, "Arial"),
        legacyFont(2, 200, true, "Arial"),
        legacyFormat(2, "General"),
        legacyFormat(2, "0.00%"),
        recordBytes(rec::Number2, Payload().raw(biff2CellHeader(0, 0, 0, 1, 1)).f64(0.25).bytes()),
        recordBytes(rec::Number2, Payload().raw(biff2CellHeader(0, 1, 0)).f64(3).bytes())};
    const auto r = readPlain(buildLegacyStream(2, records), "excel2.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 1).number, 0.25);
    EXPECT_EQ(styleAt(r, 0, 1, 1).numberFormat, "0.00%");
    EXPECT_TRUE(styleAt(r, 0, 1, 1).font.bold);
    EXPECT_EQ(cellAt(r, 0, 1, 2).style, 0u);  // the plain attributes are the default format
}

TEST(XlsLegacy, Biff3WorksheetReadsValuesCachedResultsAndFormats) {
    const std::vector<Bytes> records = with(
        legacyFormats(3),
        {recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, 1)).f64(36526).bytes()),
         recordBytes(rec::Label, Payload().raw(cellHeader(0, 1, 2)).u16(5).raw(latin1("Total")).bytes()),
         recordBytes(rec::Rk, Payload().raw(cellHeader(0, 2, 0)).u32((1234u << 2) | 0x03).bytes()),  // 12.34
         recordBytes(rec::BoolErr, Payload().raw(cellHeader(0, 3, 0)).u8(0x2A).u8(1).bytes()),
         recordBytes(rec::Formula3, Payload().raw(cellHeader(1, 0, 0)).f64(-2.5).u16(0).u16(0).bytes()),
         recordBytes(rec::Formula3, Payload().raw(cellHeader(1, 1, 0)).raw(formulaResult(0, 0)).u16(0).u16(0).bytes()),
         recordBytes(rec::String, Payload().u16(6).raw(latin1("result")).bytes()),
         recordBytes(rec::Formula3,
                     Payload().raw(cellHeader(1, 2, 0)).raw(formulaResult(1, 1)).u16(0).u16(0).bytes())});
    const auto r = readPlain(buildLegacyStream(3, records), "biff3.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 1).number, 36526);
    EXPECT_EQ(styleAt(r, 0, 1, 1).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 1, 2)), "Total");
    EXPECT_TRUE(styleAt(r, 0, 1, 2).font.bold);
    EXPECT_DOUBLE_EQ(styleAt(r, 0, 1, 2).font.size, 12);
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 3).number, 12.34);
    EXPECT_EQ(cellAt(r, 0, 1, 4).error, model::CellError::NA);
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 2, 1).number, -2.5);
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 2, 2)), "result");
    EXPECT_EQ(cellAt(r, 0, 2, 3).type, model::CellType::Boolean);
}

TEST(XlsLegacy, Biff4WorksheetReadsValuesCachedResultsAndFormats) {
    const std::vector<Bytes> records =
        with(legacyFormats(4),
             {recordBytes(rec::Number, Payload().raw(cellHeader(4, 2, 1)).f64(44927).bytes()),
              recordBytes(rec::Label, Payload().raw(cellHeader(5, 0, 2)).u16(2).raw(latin1("ID")).bytes()),
              recordBytes(rec::Formula4, Payload().raw(cellHeader(5, 1, 0)).f64(99).u16(0).u16(0).bytes()),
              recordBytes(rec::Formula4,
                          Payload().raw(cellHeader(5, 2, 0)).raw(formulaResult(2, 0x17)).u16(0).u16(0).bytes())});
    const auto r = readPlain(buildLegacyStream(4, records), "biff4.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 5, 3).number, 44927);
    EXPECT_EQ(styleAt(r, 0, 5, 3).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 6, 1)), "ID");
    EXPECT_EQ(styleAt(r, 0, 6, 1).font.name, "Courier");
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 6, 2).number, 99);
    EXPECT_EQ(cellAt(r, 0, 6, 3).error, model::CellError::Ref);
}

TEST(XlsLegacy, Biff4WorkbookReadsEveryWorksheetByName) {
    const std::vector<Bytes> globals = {recordBytes(rec::CodePage, Payload().u16(1252).bytes())};
    const std::vector<LegacySheet> sheets = {
        {"North",
         with(legacyFormats(4), {recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, 1)).f64(1).bytes())})},
        {"Chart1", {}, 0x0020},
        {"South", with(legacyFormats(4),
                       {recordBytes(rec::Label, Payload().raw(cellHeader(1, 1, 2)).u16(1).raw(latin1("x")).bytes())})},
    };
    const auto r = readPlain(buildBiff4Workbook(globals, sheets), "book4.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    ASSERT_EQ(r.workbook->sheetCount(), 2u);
    EXPECT_EQ(r.workbook->sheet(0).name, "North");
    EXPECT_EQ(r.workbook->sheet(1).name, "South");
    EXPECT_EQ(styleAt(r, 0, 1, 1).numberFormat, "yyyy-mm-dd");
    EXPECT_EQ(r.workbook->text(cellAt(r, 1, 2, 2)), "x");
    EXPECT_TRUE(styleAt(r, 1, 2, 2).font.bold);

    // The same stream as the "Book" of a compound file.
    const std::string path = tempPath("book4-ole.xls");
    ASSERT_TRUE(writeCompoundFile(path, buildBiff4Workbook(globals, sheets), "Book"));
    const auto ole = readers::readWorkbookFile(path);
    ASSERT_EQ(ole.status, readers::ReadStatus::Ok) << ole.message;
    EXPECT_EQ(ole.workbook->sheetCount(), 2u);
}

TEST(XlsLegacy, StatusesSayWhyNothingWasRead) {
    const Bytes number = recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, 0)).f64(5).bytes());
    const Bytes oneCell = buildLegacyStream(4, {number});
    struct Case {
        const char *name;
        Bytes stream;
        readers::ReadStatus expected;
    } cases[] = {
        {"protected2.xls",
         buildLegacyStream(2, {recordBytes(rec::FilePass, Payload().u16(0x1234).u16(0x5678).bytes())}),
         readers::ReadStatus::Encrypted},
        {"protected4w.xls",
         buildBiff4Workbook({recordBytes(rec::FilePass, Payload().u32(0).bytes())}, {{"S", {number}}}),
         readers::ReadStatus::Encrypted},
        {"chart.xls", buildLegacyStream(3, {}, 0x0020), readers::ReadStatus::Unsupported},
        {"macro.xls", buildLegacyStream(4, {}, 0x0040), readers::ReadStatus::Unsupported},
        {"macrobook.xls", buildBiff4Workbook({}, {{"Macro1", {}, 0x0040}}), readers::ReadStatus::Unsupported},
        {"cutbof.xls", Bytes(oneCell.begin(), oneCell.begin() + 12), readers::ReadStatus::Corrupt},
    };
    for (const Case &c : cases) {
        const auto r = readPlain(c.stream, c.name);
        EXPECT_EQ(r.status, c.expected) << c.name << ": " << r.message;
        EXPECT_EQ(r.workbook, nullptr) << c.name;
    }
}

// A stream cut short keeps the cells before the cut; a cut anywhere never
// crashes, and nothing is read from beyond the bytes present.
TEST(XlsLegacy, TruncatedStreamsKeepWhatWasRead) {
    const std::vector<Bytes> records = with(
        legacyFormats(3),
        {recordBytes(rec::Number, Payload().raw(cellHeader(0, 0, 0)).f64(1).bytes()),
         recordBytes(rec::Label, Payload().raw(cellHeader(1, 0, 0)).u16(3).raw(latin1("abc")).bytes()),
         recordBytes(rec::Formula3, Payload().raw(cellHeader(2, 0, 0)).raw(formulaResult(0, 0)).u16(0).u16(0).bytes()),
         recordBytes(rec::String, Payload().u16(3).raw(latin1("def")).bytes())});
    const Bytes whole = buildLegacyStream(3, records);
    const Bytes cut(whole.begin(), whole.end() - 6);  // inside the STRING record
    const auto r = readPlain(cut, "cut.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 1).number, 1);
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 2, 1)), "abc");

    // Every cut and a spread of flipped bytes, decoded in memory: each reads
    // or fails with a reason, never crashes.
    auto check = [](const Bytes &bytes) {
        const auto part = xls::decodeLegacyBiffStream(bytes.data(), bytes.size(), "S");
        EXPECT_EQ(part.workbook != nullptr, part.status == readers::ReadStatus::Ok);
    };
    for (const Bytes &stream :
         {whole, buildBiff4Workbook({}, {{"A", records}, {"B", records}}),
          buildLegacyStream(
              2, with(legacyFormats(2),
                      {recordBytes(rec::Label2,
                                   Payload().raw(biff2CellHeader(0, 0, 0x3F)).u8(2).raw(latin1("hi")).bytes())}))}) {
        for (size_t length = 0; length < stream.size(); ++length) check(Bytes(stream.begin(), stream.begin() + length));
        for (size_t at = 0; at < stream.size(); ++at)
            for (uint8_t flip : {0x01, 0x5A, 0xFF}) {
                Bytes damaged = stream;
                damaged[at] ^= flip;
                check(damaged);
            }
    }
}

// Some exporters write a BIFF8 stream as the whole file, without the
// compound file around it: it is read all the same.
TEST(XlsLegacy, Biff8StreamWithoutCompoundFileReads) {
    const Bytes sheet = recordBytes(rec::Number, Payload().raw(cellHeader(2, 1, kNormalXf)).f64(3.25).bytes());
    const auto r = readPlain(buildWorkbook({}, {SheetPlan{"Export", 0, sheet}}), "raw8.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_EQ(r.workbook->sheet(0).name, "Export");
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 3, 2).number, 3.25);
}

// Records shorter than their layout cost only their own cell.
TEST(XlsLegacy, ShortRecordsCostOnlyTheirCell) {
    const std::vector<Bytes> records = {
        recordBytes(rec::Number2, Payload().raw(biff2CellHeader(0, 0, 0)).u32(0).bytes()),  // half a number
        recordBytes(rec::Label2, Payload().raw(biff2CellHeader(0, 1, 0)).u8(200).raw(latin1("short")).bytes()),
        recordBytes(rec::Integer2, Payload().u16(0).bytes()),
        recordBytes(rec::Integer2, Payload().raw(biff2CellHeader(0, 2, 0)).u16(8).bytes())};
    const auto r = readPlain(buildLegacyStream(2, records), "short.xls");
    ASSERT_EQ(r.status, readers::ReadStatus::Ok) << r.message;
    EXPECT_EQ(r.workbook->sheet(0).findCell(1, 1), nullptr);
    EXPECT_EQ(r.workbook->text(cellAt(r, 0, 1, 2)), "short");  // the characters that are there
    EXPECT_DOUBLE_EQ(cellAt(r, 0, 1, 3).number, 8);
}

}  // namespace
