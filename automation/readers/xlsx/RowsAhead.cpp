// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/RowsAhead.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/CellAddress.h"
#include "automation/readers/xlsx/CellValue.h"
#include "automation/readers/xlsx/FastXmlScanner.h"

#include <string_view>

namespace automation::readers::xlsx {

namespace {

// The start of the first row element: "<row" and then what may follow a name.
// Unprefixed only; a prefixed sheet is read by the scan.
size_t firstRowStart(std::string_view bytes) {
    for (size_t at = bytes.find("<row"); at != std::string_view::npos; at = bytes.find("<row", at + 1)) {
        if (at + 4 >= bytes.size()) break;
        const char next = bytes[at + 4];
        if (next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\n' || next == '\r') return at;
    }
    return std::string_view::npos;
}

}  // namespace

bool RowsAheadDecoder::decode(const char *data, size_t size, std::unique_ptr<DecodedPiece> &piece) noexcept {
    try {
        const std::string_view bytes(data, size);
        const size_t begin = firstRowStart(bytes);
        static constexpr std::string_view kRowEnd = "</row>";
        const size_t lastEnd = bytes.rfind(kRowEnd);
        if (begin == std::string_view::npos || lastEnd == std::string_view::npos || lastEnd < begin) return false;
        const size_t end = lastEnd + kRowEnd.size();
        // What the scan makes sure of before any decoder sees the bytes.
        if (!validXmlUtf8(data + begin, end - begin)) return false;
        if (!dynamic_cast<RowsDecodedAhead *>(piece.get())) piece = std::make_unique<RowsDecodedAhead>();
        out_ = static_cast<RowsDecodedAhead *>(piece.get());
        out_->rows.clear();
        out_->cells.clear();
        out_->begin = begin;
        out_->end = end;
        refused_ = false;
        SheetDataDecoder decoder(*this);
        const char *p = data + begin;
        const RawContentReader::Result r = decoder.read(p, data + end, false);
        out_ = nullptr;
        return r == RawContentReader::Result::More && p == data + end && !refused_ && decoder.betweenRows();
    } catch (...) {
        out_ = nullptr;
        return false;
    }
}

// Each step mirrors what the worksheet's handler does with the same markup,
// and answers false (stopping the decoder) where that would need more than
// the bytes.
bool RowsAheadDecoder::row(const RowMarkup &row) {
    RowAhead r;
    if (!row.r || parseIndex(row.r, model::kMaxRows, &r.index) != AddressParse::Ok) return false;
    r.height = attributeDouble(row.ht, -1.0);
    if (attributeBool(row.customFormat, false) && row.s) r.style = styleIndex(attributeUInt(row.s, 0));
    r.hidden = attributeBool(row.hidden, false);
    out_->rows.push_back(r);
    return true;
}

bool RowsAheadDecoder::cell(const CellMarkup &c) {
    RowsDecodedAhead &out = *out_;
    if (out.rows.empty() || !c.addressed || c.hasFormula || c.row != out.rows.back().index) return false;
    // Filled in place; a cell given up on leaves the whole piece unused.
    model::Cell &cell = out.cells.emplace_back();
    cell.column = c.column;
    cell.style = c.styled ? styleIndex(c.styleValue) : c.s ? styleIndex(attributeUInt(c.s, 0)) : 0;
    if (c.hasValue) {
        if (!plainValue(c.value)) return false;
        switch (kindOf(c.t)) {
            case ValueKind::Number:
                if (!numberFromText(c.value, &cell.number)) return false;  // kept as a text of the sheet's own
                cell.type = model::CellType::Number;
                break;
            case ValueKind::Shared: {
                const uint32_t index = sharedIndexFromText(c.value);
                if (index < sharedStringCount_) {  // a dangling index shows nothing
                    cell.type = model::CellType::String;
                    cell.stringId = index;
                }
                break;
            }
            default:
                return false;
        }
    }
    ++out.rows.back().cellCount;
    return true;
}

}  // namespace automation::readers::xlsx
