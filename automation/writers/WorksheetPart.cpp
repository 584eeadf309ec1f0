// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/WorksheetPart.h"

#include "automation/model/Limits.h"
#include "automation/writers/XlsxText.h"
#include "automation/writers/XmlOut.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

namespace automation::writers {

namespace {

using model::Cell;
using model::CellArea;
using model::CellType;
using model::Sheet;
using xmlout::appendCellReference;
using xmlout::appendNumber;
using xmlout::appendUnsigned;

// The largest row height and column width the applications accept.
constexpr double kMaxRowHeight = 409.5;
constexpr double kMaxColumnWidth = 255.0;
// A column without a width of its own: 8.43 characters of the default font
// plus padding, as the file states it.
constexpr double kDefaultColumnWidth = 9.140625;
constexpr double kDefaultRowHeight = 15.0;

// Merges of one spilled row (all within it) that the file can hold, in the
// same first-wins order as acceptedMerges, appended to `accepted`: only the
// merges of the same row, at its end, can meet them.
void acceptRowMerges(const std::vector<CellArea> &merges, std::vector<CellArea> *accepted) {
    for (const CellArea &a : merges) {
        if (a.firstColumn < 1 || a.lastColumn < a.firstColumn || a.lastColumn > model::kMaxColumns) continue;
        if (a.firstRow != a.lastRow || a.firstColumn == a.lastColumn) continue;
        const auto rowStart = std::find_if(accepted->rbegin(), accepted->rend(), [&](const CellArea &b) {
                                  return b.firstRow != a.firstRow;
                              }).base();
        const bool overlaps = std::any_of(rowStart, accepted->end(), [&](const CellArea &b) {
            return a.firstColumn <= b.lastColumn && b.firstColumn <= a.lastColumn;
        });
        if (!overlaps) accepted->push_back(a);
    }
}

// The smallest area holding both.
CellArea unite(const CellArea &a, const CellArea &b) {
    return CellArea{std::min(a.firstRow, b.firstRow), std::min(a.firstColumn, b.firstColumn),
                    std::max(a.lastRow, b.lastRow), std::max(a.lastColumn, b.lastColumn)};
}

class SheetXml {
public:
    SheetXml(const model::WorkbookModel &workbook, const Sheet &sheet, const model::KeptSheetMarkup &kept,
             StylesPart &styles, DeflatedPart &out)
        : workbook_(workbook), sheet_(sheet), kept_(kept), styles_(styles), out_(out), buffer_(out.pending()) {}

    WriteResult write(model::RowSpill *tail, bool selected) {
        buffer_.append(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">");
        buffer_.append(kept_.properties);
        writeDimension(tail);
        writeViews(selected);
        defaultHeight_ =
            sheet_.defaultRowHeight > 0 ? std::min(sheet_.defaultRowHeight, kMaxRowHeight) : kDefaultRowHeight;
        buffer_.append("<sheetFormatPr defaultRowHeight=\"");
        appendNumber(buffer_, defaultHeight_);
        buffer_.append(defaultHeight_ != kDefaultRowHeight ? "\" customHeight=\"1\"/>" : "\"/>");
        writeColumns();

        std::vector<CellArea> merges = acceptedMerges(sheet_);
        buffer_.append("<sheetData>");
        for (const model::Row &row : sheet_.rows()) writeRow(row, nullptr);
        if (tail && tail->rows()) {
            model::SpilledRow spilled;
            tail->rewind();
            while (tail->next(&spilled)) {
                if (spilled.row.index > model::kMaxRows) continue;
                acceptRowMerges(spilled.merges, &merges);
                writeRow(spilled.row, &spilled);
            }
            if (!tail->error().empty()) {
                return WriteResult::failed(tail->error());
            }
        }
        buffer_.append("</sheetData>");
        buffer_.append(kept_.beforeMerges);
        if (!merges.empty()) {
            buffer_.append("<mergeCells count=\"");
            appendUnsigned(buffer_, merges.size());
            buffer_.append("\">");
            for (const CellArea &m : merges) {
                buffer_.append("<mergeCell ref=\"");
                appendCellReference(buffer_, m.firstRow, m.firstColumn);
                buffer_.push_back(':');
                appendCellReference(buffer_, m.lastRow, m.lastColumn);
                buffer_.append("\"/>");
                out_.flushIfLarge();
            }
            buffer_.append("</mergeCells>");
        }
        buffer_.append(kept_.beforeMargins);
        if (kept_.margins.empty())
            buffer_.append(
                "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
                "footer=\"0.3\"/>");
        buffer_.append(kept_.margins);
        buffer_.append(kept_.afterMargins);
        buffer_.append("</worksheet>");
        return WriteResult::done();
    }

private:
    // The views the sheet came with (panes, zoom), else a plain one; either
    // way only the selected sheet's tab is selected, or the applications would
    // open the sheets grouped.
    void writeViews(bool selected) {
        if (kept_.views.empty()) {
            buffer_.append(selected ? "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
                                    : "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
            return;
        }
        std::string views = kept_.views;
        for (size_t at = 0; (at = views.find(" tabSelected=\"", at)) != std::string::npos;) {
            const size_t end = views.find('"', at + 14);
            if (end == std::string::npos) break;
            views.erase(at, end + 1 - at);
        }
        if (selected) {
            // The first <sheetView (or <x:sheetView) element, not <sheetViews.
            for (size_t at = 0; (at = views.find("sheetView", at)) != std::string::npos; at += 9) {
                const size_t after = at + 9;
                const bool opens = at > 0 && (views[at - 1] == '<' || views[at - 1] == ':');
                if (opens && after < views.size() &&
                    (views[after] == ' ' || views[after] == '>' || views[after] == '/')) {
                    views.insert(after, " tabSelected=\"1\"");
                    break;
                }
            }
        }
        buffer_.append(views);
    }

    void writeDimension(model::RowSpill *tail) {
        CellArea bounds;
        bool any = sheet_.usedArea(&bounds);
        CellArea spilled;
        if (tail && tail->usedArea(&spilled)) {
            bounds = any ? unite(bounds, spilled) : spilled;
            any = true;
        }
        bounds.lastColumn = std::min(bounds.lastColumn, model::kMaxColumns);
        buffer_.append("<dimension ref=\"");
        if (!any) {
            buffer_.append("A1");
        } else {
            appendCellReference(buffer_, bounds.firstRow, bounds.firstColumn);
            if (bounds.lastRow != bounds.firstRow || bounds.lastColumn != bounds.firstColumn) {
                buffer_.push_back(':');
                appendCellReference(buffer_, bounds.lastRow, bounds.lastColumn);
            }
        }
        buffer_.append("\"/>");
    }

    void writeColumns() {
        formattedColumns_.assign(sheet_.columns.empty() ? 0 : model::kMaxColumns + 1, 0);
        bool open = false;
        for (const model::ColumnInfo &col : sheet_.columns) {
            if (col.first < 1 || col.first > model::kMaxColumns || col.last < col.first) continue;
            const uint32_t last = std::min(col.last, model::kMaxColumns);
            const uint32_t format = col.style ? styles_.formatIndex(col.style) : 0;
            if (format)
                for (uint32_t c = col.first; c <= last; ++c) formattedColumns_[c] = 1;
            if (!open) buffer_.append("<cols>");
            open = true;
            buffer_.append("<col min=\"");
            appendUnsigned(buffer_, col.first);
            buffer_.append("\" max=\"");
            appendUnsigned(buffer_, last);
            buffer_.append("\" width=\"");
            appendNumber(buffer_, col.width >= 0 ? std::min(col.width, kMaxColumnWidth) : kDefaultColumnWidth);
            buffer_.push_back('"');
            if (format) {
                buffer_.append(" style=\"");
                appendUnsigned(buffer_, format);
                buffer_.push_back('"');
            }
            if (col.hidden) buffer_.append(" hidden=\"1\"");
            if (col.width >= 0) buffer_.append(" customWidth=\"1\"");
            buffer_.append("/>");
        }
        if (open) buffer_.append("</cols>");
    }

    void writeRow(const model::Row &row, const model::SpilledRow *spilled) {
        if (row.index < 1 || row.index > model::kMaxRows) return;
        const uint32_t rowFormat = row.style ? styles_.formatIndex(row.style) : 0;
        const double height = row.height >= 0 ? std::min<double>(row.height, kMaxRowHeight) : defaultHeight_;
        const bool customHeight = row.hasFormat() && height != defaultHeight_;
        if (row.cells.empty() && !rowFormat && !customHeight && !row.hidden) return;

        buffer_.append("<row r=\"");
        appendUnsigned(buffer_, row.index);
        buffer_.push_back('"');
        if (rowFormat) {
            buffer_.append(" s=\"");
            appendUnsigned(buffer_, rowFormat);
            buffer_.append("\" customFormat=\"1\"");
        }
        if (customHeight) {
            buffer_.append(" ht=\"");
            appendNumber(buffer_, height);
            buffer_.append("\" customHeight=\"1\"");
        }
        if (row.hidden) buffer_.append(" hidden=\"1\"");
        if (row.cells.empty()) {
            buffer_.append("/>");
        } else {
            buffer_.push_back('>');
            for (const Cell &cell : row.cells) writeCell(row.index, rowFormat != 0, cell, spilled);
            buffer_.append("</row>");
        }
        out_.flushIfLarge();
    }

    void writeCell(uint32_t row, bool rowFormatted, const Cell &cell, const model::SpilledRow *spilled) {
        if (cell.column < 1 || cell.column > model::kMaxColumns) return;
        const uint32_t format = styles_.formatIndex(cell.style);
        // A cell that is written keeps its own format, never its row's or column's.
        const bool writeBlank =
            format || rowFormatted || (cell.column < formattedColumns_.size() && formattedColumns_[cell.column]);
        switch (cell.type) {
            case CellType::Number:
                if (!std::isfinite(cell.number)) return writeError(row, cell.column, format, model::CellError::Num);
                open(row, cell.column, format, {}, "><v>");
                appendNumber(buffer_, cell.number);
                buffer_.append("</v></c>");
                return;
            case CellType::String: {
                const std::string_view text = spilled ? spilled->text(cell) : workbook_.text(cell);
                if (text.empty()) {
                    if (writeBlank) blank(row, cell.column, format);
                    return;
                }
                return writeString(row, cell.column, format, xlsxCellText(text, scratch_));
            }
            case CellType::Boolean:
                open(row, cell.column, format, "b", cell.boolean ? "><v>1</v></c>" : "><v>0</v></c>");
                return;
            case CellType::Error:
                return writeError(row, cell.column, format, cell.error);
            case CellType::Empty:
                if (writeBlank) blank(row, cell.column, format);
                return;
        }
    }

    // A cell's start tag and what follows it up to its value, put together
    // here and appended at once: a large save writes millions of them.
    void open(uint32_t row, uint32_t column, uint32_t format, std::string_view type, std::string_view then) {
        char tag[128];
        char *at = tag;
        const auto put = [&at](std::string_view text) {
            std::memcpy(at, text.data(), text.size());
            at += text.size();
        };
        put("<c r=\"");
        at = xmlout::putColumnLetters(at, column);
        if (row != rowOfDigits_) {
            rowOfDigits_ = row;
            rowDigits_ =
                static_cast<size_t>(std::to_chars(rowDigitsText_, std::end(rowDigitsText_), row).ptr - rowDigitsText_);
        }
        put(std::string_view(rowDigitsText_, rowDigits_));
        *at++ = '"';
        if (format) {
            put(" s=\"");
            at = std::to_chars(at, std::end(tag), format).ptr;
            *at++ = '"';
        }
        if (!type.empty()) {
            put(" t=\"");
            put(type);
            *at++ = '"';
        }
        put(then);
        buffer_.append(tag, static_cast<size_t>(at - tag));
    }

    void blank(uint32_t row, uint32_t column, uint32_t format) { open(row, column, format, {}, "/>"); }

    void writeString(uint32_t row, uint32_t column, uint32_t format, std::string_view text) {
        open(row, column, format, "inlineStr",
             xmlout::needsSpacePreserved(text) ? "><is><t xml:space=\"preserve\">" : "><is><t>");
        xmlout::appendText(buffer_, text);
        buffer_.append("</t></is></c>");
    }

    // An error literal as the formula, with the error as its cached result:
    // the spreadsheet applications show and evaluate it as that error.
    void writeError(uint32_t row, uint32_t column, uint32_t format, model::CellError error) {
        const char *text = model::errorText(error);
        if (error == model::CellError::GettingData) return writeString(row, column, format, text);
        open(row, column, format, "e", "><f>");
        xmlout::appendText(buffer_, text);
        buffer_.append("</f><v>");
        xmlout::appendText(buffer_, text);
        buffer_.append("</v></c>");
    }

    const model::WorkbookModel &workbook_;
    const Sheet &sheet_;
    const model::KeptSheetMarkup &kept_;
    StylesPart &styles_;
    DeflatedPart &out_;
    std::string &buffer_;
    std::string scratch_;
    std::vector<uint8_t> formattedColumns_;  // by 1-based column, empty when no column has a format
    uint32_t rowOfDigits_ = 0;               // the row whose number rowDigitsText_ holds
    char rowDigitsText_[16];
    size_t rowDigits_ = 0;
    double defaultHeight_ = kDefaultRowHeight;
};

}  // namespace

std::vector<CellArea> acceptedMerges(const Sheet &sheet) {
    std::vector<CellArea> merges;
    merges.reserve(sheet.merges.size());
    for (const CellArea &a : sheet.merges) {
        if (a.firstRow < 1 || a.firstColumn < 1 || a.lastRow < a.firstRow || a.lastColumn < a.firstColumn) continue;
        if (a.lastRow > model::kMaxRows || a.lastColumn > model::kMaxColumns) continue;
        if (a.firstRow == a.lastRow && a.firstColumn == a.lastColumn) continue;
        merges.push_back(a);
    }
    std::stable_sort(merges.begin(), merges.end(),
                     [](const CellArea &x, const CellArea &y) { return x.firstRow < y.firstRow; });
    std::vector<CellArea> accepted;
    std::vector<size_t> active;  // accepted merges that may still reach the rows ahead
    for (const CellArea &a : merges) {
        active.erase(
            std::remove_if(active.begin(), active.end(), [&](size_t k) { return accepted[k].lastRow < a.firstRow; }),
            active.end());
        const bool overlaps = std::any_of(active.begin(), active.end(), [&](size_t k) {
            const CellArea &b = accepted[k];
            return a.firstColumn <= b.lastColumn && b.firstColumn <= a.lastColumn;
        });
        if (overlaps) continue;
        active.push_back(accepted.size());
        accepted.push_back(a);
    }
    return accepted;
}

WriteResult writeWorksheet(const model::WorkbookModel &workbook, const model::Sheet &sheet, model::RowSpill *tail,
                           bool selected, const model::KeptSheetMarkup *kept, StylesPart &styles, DeflatedPart &out) {
    static const model::KeptSheetMarkup kNothingKept;
    return SheetXml(workbook, sheet, kept ? *kept : kNothingKept, styles, out).write(tail, selected);
}

}  // namespace automation::writers
