// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/BiffLegacyReader.h"
#include "automation/readers/xls/BiffValues.h"

#include "automation/model/Limits.h"
#include "automation/readers/xls/BiffFields.h"
#include "automation/readers/xls/BiffRecordIds.h"
#include "automation/readers/xls/BiffRecordStream.h"
#include "automation/readers/xls/BiffStyles.h"
#include "automation/readers/xls/XlsCodepage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace automation::readers::xls {

namespace {

constexpr uint16_t kBofChart = 0x0020;
constexpr uint16_t kBofMacro = 0x0040;
constexpr uint16_t kBofWorkbook = 0x0100;
constexpr size_t kBofMinBytes = 4;  // version, substream type
constexpr size_t kMaxBofBytes = 16;
constexpr uint8_t kXfFromIxfe = 0x3F;
constexpr uint16_t kDefaultHeightFlag = 0x8000;

int versionOfBof(uint16_t type) {
    switch (type) {
        case rec::Bof2:
            return 2;
        case rec::Bof3:
            return 3;
        case rec::Bof4:
            return 4;
        default:
            return 0;
    }
}

class LegacyDecoder {
public:
    LegacyDecoder(const uint8_t *data, size_t size) : size_(size), stream_(data, size) {}
    ReadResult run(const std::string &sheetName);

private:
    enum class SheetEnd { Eof, Truncated, Encrypted };

    ReadResult readWorkbook();
    SheetEnd readSheet(int version, model::Sheet *sheet);
    bool skipSubstream();
    void sheetNameOf(const BiffRecord &r, std::string *out) const;

    // The style of a cell: BIFF2 gives attribute bytes, later versions an XF index.
    uint32_t styleOfXf(uint16_t xf);
    uint32_t styleOfAttributes(const uint8_t *attributes);
    void cell(model::Sheet *sheet, uint16_t row, uint16_t column, const model::Cell &c);
    void formula(model::Sheet *sheet, uint16_t row, uint16_t column, const uint8_t *result, uint32_t style);
    uint32_t text(const uint8_t *bytes, size_t count);

    size_t size_;
    BiffRecordStream stream_;
    XlsCodepage codepage_;
    std::unique_ptr<model::WorkbookModel> book_ = std::make_unique<model::WorkbookModel>();
    std::unique_ptr<BiffStyles> styles_;
    std::unique_ptr<BiffStyles> globalStyles_;  // a BIFF4 workbook's own formats
    bool sawXfRecord_ = false;
    bool defaultSet_ = false;  // the first sheet's plain format is the workbook's
    uint16_t ixfe_ = 0;
    size_t cellsRead_ = 0;
    bool pendingString_ = false;
    uint16_t pendingRow_ = 0, pendingColumn_ = 0;
    uint32_t pendingStyle_ = 0;
    std::string text_;
    std::string message_;
};

ReadResult LegacyDecoder::run(const std::string &sheetName) {
    BiffRecord r;
    if (stream_.next(&r) != BiffRecordStream::Step::Record || !versionOfBof(r.type) || r.size < kBofMinBytes)
        return ReadResult::fail(ReadStatus::Corrupt, "the stream does not start with a BOF record");
    const int version = versionOfBof(r.type);
    const uint16_t kind = readU16(r.data + 2);
    if (kind == kBofWorkbook) return readWorkbook();
    if (kind == kBofChart || kind == kBofMacro)
        return ReadResult::fail(ReadStatus::Unsupported, "chart and macro sheet files are not read");

    styles_ = std::make_unique<BiffStyles>(false, &codepage_);
    model::Sheet &sheet = book_->appendSheet(sheetName.empty() ? "Sheet1" : sheetName);
    const SheetEnd end = readSheet(version, &sheet);
    if (end == SheetEnd::Encrypted) return ReadResult::fail(ReadStatus::Encrypted, message_);
    // A stream cut short keeps the cells before the cut.
    if (end == SheetEnd::Truncated && cellsRead_ == 0)
        return ReadResult::fail(ReadStatus::Corrupt, "the worksheet stream is truncated");
    return ReadResult::ok(std::move(book_));
}

void LegacyDecoder::sheetNameOf(const BiffRecord &r, std::string *out) const {
    // A sheet header gives the sheet's size, then its name; a bare name is
    // read too.
    out->clear();
    const uint8_t *d = r.data;
    if (r.size >= 5 && 5u + d[4] == r.size)
        codepage_.appendUtf8(d + 5, d[4], out);
    else if (r.size >= 1 && 1u + d[0] <= r.size)
        codepage_.appendUtf8(d + 1, d[0], out);
}

ReadResult LegacyDecoder::readWorkbook() {
    globalStyles_ = std::make_unique<BiffStyles>(false, &codepage_);
    std::vector<std::string> listedNames;
    BiffRecord r;
    // The globals.
    for (;;) {
        if (stream_.next(&r) != BiffRecordStream::Step::Record)
            return ReadResult::fail(ReadStatus::Corrupt, "the workbook globals are truncated");
        if (r.type == rec::Eof) break;
        switch (r.type) {
            case rec::FilePass:
                return ReadResult::fail(ReadStatus::Encrypted, "the workbook is password-protected");
            case rec::CodePage:
                if (r.size >= 2) codepage_.select(readU16(r.data));
                break;
            case rec::DateMode:
                if (r.size >= 2) book_->date1904 = readU16(r.data) == 1;
                break;
            case rec::Font3:
                globalStyles_->addLegacyFont(4, r.data, r.size);
                break;
            case rec::Format:
                globalStyles_->addLegacyFormat(4, r.data, r.size);
                break;
            case rec::Xf4:
                globalStyles_->addLegacyXf(4, r.data, r.size);
                break;
            case rec::SheetHeader: {
                std::string name;
                sheetNameOf(r, &name);
                listedNames.push_back(std::move(name));
                break;
            }
            default:
                break;
        }
    }
    // The sheets, one substream after another, each maybe after its header.
    std::string pendingName;
    size_t substreams = 0, otherSheets = 0;
    bool truncated = false;
    for (;;) {
        const auto step = stream_.next(&r);
        if (step == BiffRecordStream::Step::End) break;
        if (step == BiffRecordStream::Step::Broken) {
            truncated = true;
            break;
        }
        if (r.type == rec::SheetHeader) {
            sheetNameOf(r, &pendingName);
            continue;
        }
        const int version = versionOfBof(r.type);
        if (!version || r.size < kBofMinBytes) continue;  // stray records between sheets
        const uint16_t kind = readU16(r.data + 2);
        const size_t number = substreams++;
        std::string name = pendingName;
        pendingName.clear();
        if (name.empty() && number < listedNames.size()) name = listedNames[number];
        if (kind != kBofWorksheet) {
            ++otherSheets;
            if (!skipSubstream()) {
                truncated = true;
                break;
            }
            continue;
        }
        if (name.empty()) name = "Sheet" + std::to_string(number + 1);
        styles_ = std::make_unique<BiffStyles>(false, &codepage_);
        sawXfRecord_ = false;
        model::Sheet &sheet = book_->appendSheet(name);
        const SheetEnd end = readSheet(version, &sheet);
        if (end == SheetEnd::Encrypted) return ReadResult::fail(ReadStatus::Encrypted, message_);
        if (end == SheetEnd::Truncated) {
            truncated = true;
            break;
        }
    }
    if (book_->sheetCount() == 0) {
        if (otherSheets > 0 && !truncated)
            return ReadResult::fail(ReadStatus::Unsupported, "the workbook holds no worksheet");
        if (truncated) return ReadResult::fail(ReadStatus::Corrupt, "the workbook stream is truncated");
    }
    if (truncated && cellsRead_ == 0) return ReadResult::fail(ReadStatus::Corrupt, "the workbook stream is truncated");
    return ReadResult::ok(std::move(book_));
}

bool LegacyDecoder::skipSubstream() {
    int depth = 1;
    BiffRecord r;
    while (depth > 0) {
        if (stream_.next(&r) != BiffRecordStream::Step::Record) return false;
        if (versionOfBof(r.type))
            ++depth;
        else if (r.type == rec::Eof)
            --depth;
    }
    return true;
}

uint32_t LegacyDecoder::styleOfXf(uint16_t xf) {
    // A sheet of a BIFF4 workbook without formats of its own uses the workbook's.
    BiffStyles *styles =
        !styles_->hasXfs() && globalStyles_ && globalStyles_->hasXfs() ? globalStyles_.get() : styles_.get();
    styles->resolveNew(&book_->mutableStyles(), !defaultSet_);
    defaultSet_ = defaultSet_ || styles->hasXfs();
    return styles->styleOf(xf);
}

uint32_t LegacyDecoder::styleOfAttributes(const uint8_t *a) {
    if (sawXfRecord_) return styleOfXf((a[0] & 0x3F) == kXfFromIxfe ? ixfe_ : a[0] & 0x3F);
    // Excel 2.0 wrote no XF records: the attributes are the format.
    return styleOfXf(styles_->biff2CellXf(a));
}

void LegacyDecoder::cell(model::Sheet *sheet, uint16_t row, uint16_t column, const model::Cell &c) {
    if (column >= model::kMaxColumns) return;
    ++cellsRead_;
    if (c.type == model::CellType::Empty && c.style == 0) return;
    model::Cell placed = c;
    placed.column = column + 1u;
    sheet->setCell(row + 1u, placed);
}

uint32_t LegacyDecoder::text(const uint8_t *bytes, size_t count) {
    text_.clear();
    codepage_.appendUtf8(bytes, count, &text_);
    return book_->mutableStrings().intern(text_);
}

void LegacyDecoder::formula(model::Sheet *sheet, uint16_t row, uint16_t column, const uint8_t *value, uint32_t style) {
    bool textFollows = false;
    cell(sheet, row, column, formulaResult(value, style, book_->mutableStrings().intern(""), &textFollows));
    if (textFollows) {  // in the STRING record that follows
        pendingString_ = true;
        pendingRow_ = row;
        pendingColumn_ = column;
        pendingStyle_ = style;
    }
}

LegacyDecoder::SheetEnd LegacyDecoder::readSheet(int version, model::Sheet *sheet) {
    constexpr size_t kBiff2Header = 7;  // row, column, three attribute bytes
    constexpr size_t kHeader = 6;       // row, column, XF index
    std::vector<model::ColumnInfo> columns;
    pendingString_ = false;
    ixfe_ = 0;
    int nested = 0;
    BiffRecord r;
    SheetEnd end = SheetEnd::Eof;
    for (;;) {
        if (stream_.next(&r) != BiffRecordStream::Step::Record) {
            end = SheetEnd::Truncated;
            break;
        }
        if (versionOfBof(r.type) && r.size >= kBofMinBytes && r.size <= kMaxBofBytes) {
            ++nested;
            continue;
        }
        if (r.type == rec::Eof) {
            if (nested == 0) break;
            --nested;
            continue;
        }
        if (nested > 0) continue;
        const uint8_t *d = r.data;
        const bool biff2 = version == 2;
        switch (r.type) {
            case rec::FilePass:
                message_ = "the worksheet is password-protected";
                return SheetEnd::Encrypted;
            case rec::CodePage:
                if (r.size >= 2) codepage_.select(readU16(d));
                break;
            case rec::DateMode:
                if (r.size >= 2) book_->date1904 = readU16(d) == 1;
                break;
            case rec::Font:
                if (biff2) styles_->addLegacyFont(2, d, r.size);
                break;
            case rec::FontColor2:
                if (r.size >= 2) styles_->setLastFontColor(readU16(d));
                break;
            case rec::Font3:
                styles_->addLegacyFont(version, d, r.size);
                break;
            case rec::Format2:
                styles_->addLegacyFormat(std::min(version, 3), d, r.size);
                break;
            case rec::Format:
                styles_->addLegacyFormat(4, d, r.size);
                break;
            case rec::Xf2:
                if (biff2) {
                    styles_->addLegacyXf(2, d, r.size);
                    sawXfRecord_ = true;
                }
                break;
            case rec::Xf3:
                styles_->addLegacyXf(3, d, r.size);
                break;
            case rec::Xf4:
                styles_->addLegacyXf(4, d, r.size);
                break;
            case rec::Ixfe2:
                if (r.size >= 2) ixfe_ = readU16(d);
                break;

            // BIFF2 cells: row, column, attributes, value.
            case rec::Blank2:
            case rec::Integer2:
            case rec::Number2:
            case rec::Label2:
            case rec::BoolErr2:
            case rec::Formula: {
                pendingString_ = false;  // a STRING record belongs only to the formula just before it
                if (!biff2 || r.size < kBiff2Header) break;
                const uint16_t row = readU16(d), column = readU16(d + 2);
                const uint32_t style = styleOfAttributes(d + 4);
                const uint8_t *v = d + kBiff2Header;
                const size_t n = r.size - kBiff2Header;
                if (r.type == rec::Blank2)
                    cell(sheet, row, column, model::Cell::makeEmpty(0, style));
                else if (r.type == rec::Integer2 && n >= 2)
                    cell(sheet, row, column, model::Cell::makeNumber(0, readU16(v), style));
                else if (r.type == rec::Number2 && n >= 8)
                    cell(sheet, row, column, model::Cell::makeNumber(0, readF64(v), style));
                else if (r.type == rec::Label2 && n >= 1)
                    cell(sheet, row, column,
                         model::Cell::makeString(0, text(v + 1, std::min<size_t>(v[0], n - 1)), style));
                else if (r.type == rec::BoolErr2 && n >= 2)
                    cell(sheet, row, column,
                         v[1] ? model::Cell::makeError(0, errorOf(v[0]), style)
                              : model::Cell::makeBoolean(0, v[0] != 0, style));
                else if (r.type == rec::Formula && n >= 8)
                    formula(sheet, row, column, v, style);
                break;
            }
            case rec::String2:
            case rec::String: {
                if (!pendingString_) break;
                pendingString_ = false;
                // BIFF2 counts its characters in one byte, later versions in two;
                // a record that fits only the other reading is taken as it fits.
                const bool twoByteLength = r.type == rec::String;
                size_t at, count;
                if (twoByteLength && r.size >= 2 && 2u + readU16(d) <= r.size) {
                    at = 2;
                    count = readU16(d);
                } else if (r.size >= 1 && 1u + d[0] <= r.size) {
                    at = 1;
                    count = d[0];
                } else {  // cut short: what is there
                    at = std::min<size_t>(r.size, twoByteLength ? 2 : 1);
                    count = r.size - at;
                }
                cell(sheet, pendingRow_, pendingColumn_,
                     model::Cell::makeString(0, text(d + at, count), pendingStyle_));
                break;
            }

            // BIFF3 and BIFF4 cells: row, column, XF index, value.
            case rec::Blank:
            case rec::Number:
            case rec::Label:
            case rec::BoolErr:
            case rec::Rk:
            case rec::Formula3:
            case rec::Formula4: {
                pendingString_ = false;
                if (r.size < kHeader) break;
                const uint16_t row = readU16(d), column = readU16(d + 2);
                const uint32_t style = styleOfXf(readU16(d + 4));
                const uint8_t *v = d + kHeader;
                const size_t n = r.size - kHeader;
                if (r.type == rec::Blank)
                    cell(sheet, row, column, model::Cell::makeEmpty(0, style));
                else if (r.type == rec::Number && n >= 8)
                    cell(sheet, row, column, model::Cell::makeNumber(0, readF64(v), style));
                else if (r.type == rec::Rk && n >= 4)
                    cell(sheet, row, column, model::Cell::makeNumber(0, decodeRk(readU32(v)), style));
                else if (r.type == rec::Label && n >= 2)
                    cell(sheet, row, column,
                         model::Cell::makeString(0, text(v + 2, std::min<size_t>(readU16(v), n - 2)), style));
                else if (r.type == rec::BoolErr && n >= 2)
                    cell(sheet, row, column,
                         v[1] ? model::Cell::makeError(0, errorOf(v[0]), style)
                              : model::Cell::makeBoolean(0, v[0] != 0, style));
                else if ((r.type == rec::Formula3 || r.type == rec::Formula4) && n >= 8)
                    formula(sheet, row, column, v, style);
                break;
            }

            case rec::Row2:
                if (biff2 && r.size >= 8) {
                    const uint16_t height = readU16(d + 6);
                    if (!(height & kDefaultHeightFlag))
                        sheet->rowForWrite(readU16(d) + 1u).height = static_cast<float>(height / kTwipsPerPoint);
                }
                break;
            case rec::Row:
                if (r.size >= 16) {
                    const uint32_t flags = readU32(d + 12);
                    const bool customHeight = (flags & kRowCustomHeight) != 0;
                    const bool hidden = (flags & kRowHidden) != 0;
                    const uint32_t style = (flags & kRowFormatted) ? styleOfXf((flags >> 16) & 0x0FFF) : 0;
                    if (!customHeight && !hidden && style == 0) break;
                    model::Row &row = sheet->rowForWrite(readU16(d) + 1u);
                    if (customHeight) row.height = static_cast<float>((readU16(d + 6) & 0x7FFF) / kTwipsPerPoint);
                    row.hidden = hidden;
                    row.style = style;
                }
                break;
            case rec::Dimensions2:
            case rec::Dimensions:
                if (r.size >= 4 && readU16(d + 2) > readU16(d))
                    sheet->reserveRows(std::min<size_t>(readU16(d + 2) - readU16(d), size_ / kMinBytesPerRow));
                break;
            case rec::ColWidth2:
                if (biff2 && r.size >= 4 && d[0] <= d[1]) {
                    model::ColumnInfo c;
                    c.first = d[0] + 1u;
                    c.last = d[1] + 1u;
                    c.width = readU16(d + 2) / kColumnWidthUnits;
                    columns.push_back(c);
                }
                break;
            case rec::ColInfo:
                if (r.size >= 10 && readU16(d) <= readU16(d + 2) && readU16(d) < model::kMaxColumns) {
                    model::ColumnInfo c;
                    c.first = readU16(d) + 1u;
                    c.last = std::min<uint32_t>(readU16(d + 2) + 1u, model::kMaxColumns);
                    c.width = readU16(d + 4) / kColumnWidthUnits;
                    c.style = styleOfXf(readU16(d + 6));
                    c.hidden = (readU16(d + 8) & kColumnHidden) != 0;
                    columns.push_back(c);
                }
                break;
            case rec::DefColWidth:
                if (r.size >= 2) sheet->defaultColumnWidth = readU16(d) + kColumnPadding;
                break;
            case rec::DefaultRowHeight:
                if (r.size >= 4 && readU16(d + 2) > 0) sheet->defaultRowHeight = readU16(d + 2) / kTwipsPerPoint;
                break;
            default:
                break;
        }
    }
    sheet->columns.insert(sheet->columns.end(), columns.begin(), columns.end());
    model::settleColumns(&sheet->columns);
    return end;
}

}  // namespace

bool isLegacyBiffStream(const uint8_t *data, size_t size) {
    if (size < kRecordHeaderBytes + kBofMinBytes) return false;
    const uint16_t length = readU16(data + 2);
    return versionOfBof(readU16(data)) != 0 && length >= kBofMinBytes && length <= kMaxBofBytes;
}

ReadResult decodeLegacyBiffStream(const uint8_t *data, size_t size, const std::string &sheetName) {
    try {
        LegacyDecoder decoder(data, size);
        return decoder.run(sheetName);
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the workbook");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the workbook could not be decoded");
    }
}

}  // namespace automation::readers::xls
