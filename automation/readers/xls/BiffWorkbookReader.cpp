// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/BiffWorkbookReader.h"
#include "automation/readers/xls/BiffValues.h"

#include "automation/model/Limits.h"
#include "automation/readers/xls/BiffFields.h"
#include "automation/readers/xls/BiffLegacyReader.h"
#include "automation/readers/xls/BiffRecordIds.h"
#include "automation/readers/xls/BiffRecordStream.h"
#include "automation/readers/xls/BiffStyles.h"
#include "automation/readers/xls/XlsCodepage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace automation::readers::xls {

namespace {

constexpr uint16_t kBiff8Version = 0x0600;
constexpr uint16_t kBofGlobals = 0x0005;
constexpr uint8_t kSheetTypeWorksheet = 0x00;
constexpr uint8_t kSheetVisibilityMask = 0x03;
constexpr size_t kCellHeaderBytes = 6;  // row, column, XF
constexpr size_t kRkBytes = 6;          // XF, RK value
constexpr size_t kFormulaFixedBytes = 20;
constexpr size_t kMergeRefBytes = 8;
constexpr size_t kColInfoBytes = 10;

struct SheetEntry {
    uint32_t offset = 0;
    bool hidden = false;
    const uint8_t *name = nullptr;  // undecoded: the code page may come later
    size_t nameChars = 0;
    bool nameWide = false;
};

class Decoder {
public:
    Decoder(const uint8_t *data, size_t size) : size_(size), stream_(data, size) {}

    ReadResult run();

private:
    ReadStatus readGlobals();
    // Reads no record that starts at or past `limit`.
    ReadStatus readSheet(const SheetEntry &entry, model::Sheet *sheet, size_t limit);
    bool readSst(const BiffRecord &r);
    void addBoundSheet(const BiffRecord &r);
    std::string sheetName(const SheetEntry &entry, size_t number) const;

    void cell(model::Sheet *sheet, uint16_t row, uint16_t column, const model::Cell &c);
    void decodeCell(const BiffRecord &r, model::Sheet *sheet);
    void decodeFormula(const BiffRecord &r, model::Sheet *sheet);
    void decodeString(const BiffRecord &r, model::Sheet *sheet);
    void decodeRow(const BiffRecord &r, model::Sheet *sheet);
    void decodeMerges(const BiffRecord &r, model::Sheet *sheet);
    uint32_t inlineText(const uint8_t *d, size_t size);

    size_t size_;
    BiffRecordStream stream_;
    bool biff8_ = true;
    XlsCodepage codepage_;
    std::unique_ptr<BiffStyles> styles_;
    std::unique_ptr<model::WorkbookModel> book_ = std::make_unique<model::WorkbookModel>();
    std::vector<SheetEntry> sheets_;
    size_t otherSheets_ = 0;
    ReadStatus failure_ = ReadStatus::Ok;  // damage met on the way
    bool sheetBegun_ = false;              // the sheet being read had its BOF where expected
    uint32_t sstBase_ = 0, sstCount_ = 0;
    ContinuedReader reader_;
    std::string text_;  // reused for every decoded text
    std::vector<model::ColumnInfo> columns_;
    // The formula cell waiting for its STRING record.
    bool pendingString_ = false;
    uint16_t pendingRow_ = 0, pendingColumn_ = 0;
    uint32_t pendingStyle_ = 0;
    std::string message_;
};

ReadResult Decoder::run() {
    const ReadStatus globals = readGlobals();
    if (globals != ReadStatus::Ok) return ReadResult::fail(globals, message_);
    if (sheets_.empty() && otherSheets_ > 0)
        return ReadResult::fail(ReadStatus::Unsupported, "the workbook holds no worksheet (charts or macros only)");
    // Sheets must not share or overlap their records: a file that lists one
    // sheet many times would otherwise be decoded, and held, many times over.
    // So each sheet reads no further than where the next one starts, and a
    // second sheet at the same place is left out, as is one whose records
    // are not where the workbook says; one cut short keeps what it read.
    std::vector<size_t> starts;
    starts.reserve(sheets_.size());
    for (const SheetEntry &e : sheets_) starts.push_back(e.offset);
    std::sort(starts.begin(), starts.end());
    std::vector<size_t> begun;
    ReadStatus &failure = failure_;
    for (size_t i = 0; i < sheets_.size(); ++i) {
        const size_t offset = sheets_[i].offset;
        if (std::find(begun.begin(), begun.end(), offset) != begun.end()) {
            failure = ReadStatus::Corrupt;
            message_ = "two sheets claim the same records";
            continue;
        }
        const auto next = std::upper_bound(starts.begin(), starts.end(), offset);
        const size_t limit = next == starts.end() ? size_ : *next;
        const size_t index = book_->sheetCount();
        model::Sheet &sheet = book_->appendSheet(sheetName(sheets_[i], i + 1));
        sheet.hidden = sheets_[i].hidden;
        const ReadStatus s = readSheet(sheets_[i], &sheet, limit);
        if (s != ReadStatus::Ok) failure = s;
        if (!sheetBegun_) {
            book_->removeSheet(index);
            continue;
        }
        begun.push_back(offset);
    }
    // Nothing readable left of a damaged workbook: say so.
    if (book_->sheetCount() == 0 && failure_ != ReadStatus::Ok) return ReadResult::fail(failure_, message_);
    return ReadResult::ok(std::move(book_));
}

ReadStatus Decoder::readGlobals() {
    BiffRecord r;
    if (stream_.next(&r) != BiffRecordStream::Step::Record || r.type != rec::Bof || r.size < 4 ||
        readU16(r.data + 2) != kBofGlobals) {
        message_ = "the workbook stream does not start with a workbook BOF record";
        return ReadStatus::Corrupt;
    }
    biff8_ = readU16(r.data) >= kBiff8Version;
    if (biff8_) codepage_.select(XlsCodepage::kUtf16);
    styles_ = std::make_unique<BiffStyles>(biff8_, &codepage_);

    for (;;) {
        const auto step = stream_.next(&r);
        if (step != BiffRecordStream::Step::Record) {
            message_ = "the workbook globals are truncated";
            return ReadStatus::Corrupt;
        }
        switch (r.type) {
            case rec::Eof:
                styles_->resolve(&book_->mutableStyles());
                return ReadStatus::Ok;
            case rec::FilePass:
                message_ = "the workbook is password-protected";
                return ReadStatus::Encrypted;
            case rec::CodePage:
                if (r.size >= 2 && !biff8_) codepage_.select(readU16(r.data));
                break;
            case rec::DateMode:
                if (r.size >= 2) book_->date1904 = readU16(r.data) == 1;
                break;
            case rec::Font:
                styles_->addFont(r.data, r.size);
                break;
            case rec::Format:
                styles_->addFormat(r.data, r.size);
                break;
            case rec::Xf:
                styles_->addXf(r.data, r.size);
                break;
            case rec::Palette:
                styles_->setPalette(r.data, r.size);
                break;
            case rec::BoundSheet:
                addBoundSheet(r);
                break;
            case rec::Sst:
                // Damage costs the strings after it: their cells read empty.
                if (!readSst(r)) {
                    failure_ = ReadStatus::Corrupt;
                    message_ = "the shared string table is damaged";
                }
                break;
            default:
                break;
        }
    }
}

void Decoder::addBoundSheet(const BiffRecord &r) {
    const size_t fixed = biff8_ ? 8 : 7;
    if (r.size < fixed) return;
    SheetEntry e;
    e.offset = readU32(r.data);
    e.hidden = (r.data[4] & kSheetVisibilityMask) != 0;
    // Chart, macro and module sheets are not worksheets.
    if (r.data[5] != kSheetTypeWorksheet) {
        ++otherSheets_;
        return;
    }
    e.nameChars = r.data[6];
    e.nameWide = biff8_ && (r.data[7] & 0x01);
    if (r.size < fixed + e.nameChars * (e.nameWide ? 2 : 1)) return;
    e.name = r.data + fixed;
    sheets_.push_back(e);
}

std::string Decoder::sheetName(const SheetEntry &e, size_t number) const {
    std::string name;
    if (!biff8_) {
        codepage_.appendUtf8(e.name, e.nameChars, &name);
    } else if (e.nameWide) {
        std::u16string units(e.nameChars, u'\0');
        for (size_t i = 0; i < e.nameChars; ++i) units[i] = static_cast<char16_t>(readU16(e.name + 2 * i));
        appendUtf16AsUtf8(units.data(), units.size(), &name);
    } else {
        appendLatin1AsUtf8(e.name, e.nameChars, &name);
    }
    if (name.empty()) name = "Sheet" + std::to_string(number);
    return name;
}

bool Decoder::readSst(const BiffRecord &r) {
    reader_.start(r, &stream_);
    uint32_t total, unique;
    if (!reader_.readU32(&total) || !reader_.readU32(&unique)) return false;
    model::StringPool &pool = book_->mutableStrings();
    sstBase_ = static_cast<uint32_t>(pool.size());
    // Each string takes at least three bytes of the table, whatever its header claims.
    constexpr size_t kMinStringBytes = 3;
    pool.reserve(pool.size() + std::min<size_t>(unique, reader_.remainingBytes() / kMinStringBytes));
    uint32_t read = 0;
    for (; read < unique && !reader_.atEnd(); ++read) {
        text_.clear();
        if (!reader_.readUnicodeString(true, &text_)) break;
        pool.append(text_);
    }
    sstCount_ = read;
    return read == unique;
}

ReadStatus Decoder::readSheet(const SheetEntry &entry, model::Sheet *sheet, size_t limit) {
    BiffRecord r;
    sheetBegun_ = false;
    if (!stream_.seek(entry.offset) || stream_.next(&r) != BiffRecordStream::Step::Record || r.type != rec::Bof ||
        r.size < 4 || readU16(r.data + 2) != kBofWorksheet) {
        message_ = "a worksheet's position in the stream is wrong";
        return ReadStatus::Corrupt;
    }
    sheetBegun_ = true;
    columns_.clear();
    pendingString_ = false;
    double standardWidth = -1.0;
    bool truncated = false;
    int nested = 0;  // embedded chart substreams
    for (;;) {
        if (stream_.position() >= limit || stream_.next(&r) != BiffRecordStream::Step::Record) {
            message_ = "a worksheet is truncated";
            truncated = true;
            break;
        }
        if (r.type == rec::Bof) {
            ++nested;
            continue;
        }
        if (r.type == rec::Eof) {
            if (nested == 0) break;
            --nested;
            continue;
        }
        if (nested > 0) continue;
        switch (r.type) {
            case rec::Number:
            case rec::Rk:
            case rec::MulRk:
            case rec::LabelSst:
            case rec::Label:
            case rec::RString:
            case rec::BoolErr:
            case rec::Blank:
            case rec::MulBlank:
                decodeCell(r, sheet);
                break;
            case rec::Formula:
                decodeFormula(r, sheet);
                break;
            case rec::String:
                decodeString(r, sheet);
                break;
            case rec::Row:
                decodeRow(r, sheet);
                break;
            case rec::MergedCells:
                decodeMerges(r, sheet);
                break;
            case rec::Dimensions:
                if (biff8_ && r.size >= 8) {
                    const uint32_t first = readU32(r.data), last = readU32(r.data + 4);
                    if (last > first)
                        sheet->reserveRows(std::min<size_t>({last - first, model::kMaxRows, size_ / kMinBytesPerRow}));
                }
                break;
            case rec::ColInfo:
                if (r.size >= kColInfoBytes) {
                    const uint32_t first = readU16(r.data), last = readU16(r.data + 2);
                    if (first > last || first >= model::kMaxColumns) break;
                    model::ColumnInfo c;
                    c.first = first + 1;
                    c.last = std::min<uint32_t>(last + 1, model::kMaxColumns);
                    c.width = readU16(r.data + 4) / kColumnWidthUnits;
                    c.style = styles_->styleOf(readU16(r.data + 6));
                    c.hidden = (readU16(r.data + 8) & kColumnHidden) != 0;
                    columns_.push_back(c);
                }
                break;
            case rec::DefColWidth:
                if (r.size >= 2 && standardWidth < 0) sheet->defaultColumnWidth = readU16(r.data) + kColumnPadding;
                break;
            case rec::StandardWidth:
                if (r.size >= 2) {
                    standardWidth = readU16(r.data) / kColumnWidthUnits;
                    sheet->defaultColumnWidth = standardWidth;
                }
                break;
            case rec::DefaultRowHeight:
                if (r.size >= 4 && readU16(r.data + 2) > 0)
                    sheet->defaultRowHeight = readU16(r.data + 2) / kTwipsPerPoint;
                break;
            default:
                break;
        }
    }

    sheet->columns.insert(sheet->columns.end(), columns_.begin(), columns_.end());
    model::settleColumns(&sheet->columns);
    return truncated ? ReadStatus::Corrupt : ReadStatus::Ok;
}

void Decoder::cell(model::Sheet *sheet, uint16_t row, uint16_t column, const model::Cell &c) {
    if (column >= model::kMaxColumns) return;
    if (c.type == model::CellType::Empty && c.style == 0) return;
    model::Cell placed = c;
    placed.column = column + 1u;
    sheet->setCell(row + 1u, placed);
}

uint32_t Decoder::inlineText(const uint8_t *d, size_t size) {
    text_.clear();
    if (biff8_) {
        BiffRecord piece;
        piece.data = d;
        piece.size = static_cast<uint16_t>(size);
        reader_.startSingle(piece);
        reader_.readUnicodeString(true, &text_);  // a short string keeps what was read
    } else if (size >= 2) {
        const size_t count = std::min<size_t>(readU16(d), size - 2);
        codepage_.appendUtf8(d + 2, count, &text_);
    }
    return book_->mutableStrings().intern(text_);
}

void Decoder::decodeCell(const BiffRecord &r, model::Sheet *sheet) {
    pendingString_ = false;  // a STRING record belongs only to the formula just before it
    if (r.size < kCellHeaderBytes) return;
    const uint8_t *d = r.data;
    const uint16_t row = readU16(d), column = readU16(d + 2);
    const uint32_t style = styles_->styleOf(readU16(d + 4));
    switch (r.type) {
        case rec::Number:
            if (r.size >= kCellHeaderBytes + 8)
                cell(sheet, row, column, model::Cell::makeNumber(0, readF64(d + 6), style));
            break;
        case rec::Rk:
            if (r.size >= kCellHeaderBytes + 4)
                cell(sheet, row, column, model::Cell::makeNumber(0, decodeRk(readU32(d + 6)), style));
            break;
        case rec::MulRk: {
            const size_t count = r.size >= 6 ? (r.size - 6) / kRkBytes : 0;
            for (size_t i = 0; i < count && column + i < model::kMaxColumns; ++i) {
                const uint8_t *p = d + 4 + i * kRkBytes;
                cell(sheet, row, static_cast<uint16_t>(column + i),
                     model::Cell::makeNumber(0, decodeRk(readU32(p + 2)), styles_->styleOf(readU16(p))));
            }
            break;
        }
        case rec::MulBlank: {
            const size_t count = r.size >= 6 ? (r.size - 6) / 2 : 0;
            for (size_t i = 0; i < count && column + i < model::kMaxColumns; ++i)
                cell(sheet, row, static_cast<uint16_t>(column + i),
                     model::Cell::makeEmpty(0, styles_->styleOf(readU16(d + 4 + 2 * i))));
            break;
        }
        case rec::LabelSst:
            if (r.size >= kCellHeaderBytes + 4) {
                const uint32_t index = readU32(d + 6);
                const uint32_t id = index < sstCount_ ? sstBase_ + index : book_->mutableStrings().intern("");
                cell(sheet, row, column, model::Cell::makeString(0, id, style));
            }
            break;
        case rec::Label:
        case rec::RString:
            cell(sheet, row, column, model::Cell::makeString(0, inlineText(d + 6, r.size - 6), style));
            break;
        case rec::BoolErr:
            if (r.size >= kCellHeaderBytes + 2) {
                cell(sheet, row, column,
                     d[7] ? model::Cell::makeError(0, errorOf(d[6]), style)
                          : model::Cell::makeBoolean(0, d[6] != 0, style));
            }
            break;
        case rec::Blank:
            cell(sheet, row, column, model::Cell::makeEmpty(0, style));
            break;
        default:
            break;
    }
}

void Decoder::decodeFormula(const BiffRecord &r, model::Sheet *sheet) {
    pendingString_ = false;
    if (r.size < kFormulaFixedBytes) return;
    const uint8_t *d = r.data;
    const uint16_t row = readU16(d), column = readU16(d + 2);
    const uint32_t style = styles_->styleOf(readU16(d + 4));
    bool textFollows = false;
    cell(sheet, row, column, formulaResult(d + 6, style, book_->mutableStrings().intern(""), &textFollows));
    if (textFollows) {  // in the STRING record that follows
        pendingString_ = true;
        pendingRow_ = row;
        pendingColumn_ = column;
        pendingStyle_ = style;
    }
}

void Decoder::decodeString(const BiffRecord &r, model::Sheet *sheet) {
    if (!pendingString_) return;
    pendingString_ = false;
    text_.clear();
    if (biff8_) {
        reader_.start(r, &stream_);
        if (!reader_.readUnicodeString(true, &text_)) text_.clear();
    } else if (r.size >= 2) {
        codepage_.appendUtf8(r.data + 2, std::min<size_t>(readU16(r.data), r.size - 2u), &text_);
    }
    cell(sheet, pendingRow_, pendingColumn_,
         model::Cell::makeString(0, book_->mutableStrings().intern(text_), pendingStyle_));
}

void Decoder::decodeRow(const BiffRecord &r, model::Sheet *sheet) {
    if (r.size < 16) return;
    const uint8_t *d = r.data;
    const uint32_t flags = readU32(d + 12);
    const bool customHeight = (flags & kRowCustomHeight) != 0;
    const bool hidden = (flags & kRowHidden) != 0;
    const uint32_t style = (flags & kRowFormatted) ? styles_->styleOf((flags >> 16) & 0x0FFF) : 0;
    if (!customHeight && !hidden && style == 0) return;  // nothing to keep
    model::Row &row = sheet->rowForWrite(readU16(d) + 1u);
    if (customHeight) row.height = static_cast<float>((readU16(d + 6) & 0x7FFF) / kTwipsPerPoint);
    row.hidden = hidden;
    row.style = style;
}

void Decoder::decodeMerges(const BiffRecord &r, model::Sheet *sheet) {
    if (r.size < 2) return;
    const size_t count = std::min<size_t>(readU16(r.data), (r.size - 2) / kMergeRefBytes);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *p = r.data + 2 + i * kMergeRefBytes;
        model::CellArea a;
        a.firstRow = readU16(p) + 1u;
        a.lastRow = readU16(p + 2) + 1u;
        a.firstColumn = readU16(p + 4) + 1u;
        a.lastColumn = readU16(p + 6) + 1u;
        if (a.firstRow > a.lastRow || a.firstColumn > a.lastColumn || a.lastColumn > model::kMaxColumns) continue;
        if (a.firstRow == a.lastRow && a.firstColumn == a.lastColumn) continue;
        sheet->merges.push_back(a);
    }
}

}  // namespace

ReadResult decodeWorkbookStream(const uint8_t *data, size_t size) {
    // Excel 4.0 could put its stream in a compound file too.
    if (isLegacyBiffStream(data, size)) return decodeLegacyBiffStream(data, size, "Sheet1");
    try {
        Decoder decoder(data, size);
        return decoder.run();
    } catch (const std::bad_alloc &) {
        return ReadResult::fail(ReadStatus::TooLarge, "out of memory while reading the workbook");
    } catch (...) {
        return ReadResult::fail(ReadStatus::Corrupt, "the workbook could not be decoded");
    }
}

}  // namespace automation::readers::xls
