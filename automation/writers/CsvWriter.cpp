// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/NumberFormat.h"
#include "automation/writers/AtomicFile.h"
#include "automation/writers/WriteBehind.h"
#include "automation/writers/Writers.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace automation::writers {

namespace {

using model::Cell;
using model::CellType;
using model::WorkbookModel;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kSeparator = ',';
constexpr char kQuote = '"';
constexpr size_t kFlushSize = 1 << 20;
constexpr std::string_view kTrueText = "TRUE";
constexpr std::string_view kFalseText = "FALSE";
constexpr std::string_view kGeneralFormat = "General";
constexpr int kSectionsBeforeText = 3;

// A field with a separator, a quote or a line break goes in quotes. One
// comparison per byte: find_first_of looks each byte up in the set with a
// call of its own, which made it the larger part of a big save.
bool needsQuoting(std::string_view text) {
    for (const char c : text)
        if (c == kSeparator || c == kQuote || c == '\r' || c == '\n') return true;
    return false;
}

// Whether a format code may have a text section at all; the exact answer is
// formatText's, this only spares plain texts the call.
bool mayFormatText(std::string_view code) {
    if (code.empty() || code == kGeneralFormat) return false;
    int separators = 0;
    for (char c : code) {
        if (c == '@') return true;
        if (c == ';') ++separators;
    }
    return separators >= kSectionsBeforeText;
}

class CsvBuilder {
public:
    CsvBuilder(const WorkbookModel &workbook, AtomicFile &file)
        : workbook_(workbook), textStyle_(workbook.styles().size(), kUnknown), behind_(file) {
        out_.reserve(kFlushSize + kFlushSize / 4);
    }

    WriteResult writeSheet(const model::Sheet &sheet, model::RowSpill *tail) {
        out_.append(kByteOrderMark);
        model::CellArea used;
        bool hasUsed = sheet.usedArea(&used);
        model::CellArea spilled;
        if (tail && tail->usedArea(&spilled)) {
            if (!hasUsed) used = spilled;
            used.lastRow = std::max(used.lastRow, spilled.lastRow);
            used.lastColumn = std::max(used.lastColumn, spilled.lastColumn);
            hasUsed = true;
        }
        if (!hasUsed) return finish();
        // Every row from the first, so cells keep their places when the file is read again.
        const uint32_t modelEnd = tail && tail->rows() ? std::min(used.lastRow, tail->firstRow() - 1) : used.lastRow;
        uint32_t r = 1;
        auto row = sheet.rows().begin();
        const auto rowsEnd = sheet.rows().end();
        for (; r <= modelEnd; ++r) {
            while (row != rowsEnd && row->index < r) ++row;
            const model::Row *current = (row != rowsEnd && row->index == r) ? &*row : nullptr;
            writeLine(current, used.lastColumn, nullptr);
            if (out_.size() >= kFlushSize)
                if (WriteResult flushed = flush(); !flushed) return flushed;
        }
        if (tail && tail->rows()) {
            // The spilled rows all lie below the model's.
            model::SpilledRow spilledRow;
            tail->rewind();
            while (tail->next(&spilledRow)) {
                const uint32_t index = spilledRow.row.index;
                if (index > used.lastRow) continue;
                for (; r < index; ++r) writeLine(nullptr, used.lastColumn, nullptr);
                writeLine(&spilledRow.row, used.lastColumn, &spilledRow);
                r = index + 1;
                if (out_.size() >= kFlushSize)
                    if (WriteResult flushed = flush(); !flushed) return flushed;
            }
            if (!tail->error().empty()) {
                return WriteResult::failed("cannot save the rows copied in: " + tail->error());
            }
        }
        for (; r <= used.lastRow; ++r) {
            writeLine(nullptr, used.lastColumn, nullptr);
            if (out_.size() >= kFlushSize)
                if (WriteResult flushed = flush(); !flushed) return flushed;
        }
        return finish();
    }

private:
    enum : uint8_t { kUnknown, kPlainText, kFormattedText };

    void writeLine(const model::Row *row, uint32_t lastColumn, const model::SpilledRow *texts) {
        uint32_t column = 1;
        if (row) {
            for (const Cell &cell : row->cells) {
                if (cell.column > lastColumn) break;
                for (; column < cell.column; ++column) out_.push_back(kSeparator);
                appendCell(cell, texts);
            }
        }
        for (; column < lastColumn; ++column) out_.push_back(kSeparator);
        out_.append(kLineEnd);
    }

    void appendCell(const Cell &cell, const model::SpilledRow *texts) {
        switch (cell.type) {
            case CellType::Empty:
                return;
            case CellType::Boolean:
                out_.append(cell.boolean ? kTrueText : kFalseText);
                return;
            case CellType::Error:
                appendField(model::errorText(cell.error));
                return;
            case CellType::Number:
                if (!std::isfinite(cell.number)) {
                    appendField(model::errorText(model::CellError::Num));
                    return;
                }
                appendField(numfmt::formatNumber(cell.number, numberFormat(cell.style), workbook_.date1904));
                return;
            case CellType::String: {
                const std::string_view text = texts ? texts->text(cell) : std::string_view(workbook_.text(cell));
                if (hasTextFormat(cell.style))
                    appendField(numfmt::formatText(text, numberFormat(cell.style)));
                else
                    appendField(text);
                return;
            }
        }
    }

    void appendField(std::string_view text) {
        if (!needsQuoting(text)) {
            out_.append(text);
            return;
        }
        out_.push_back(kQuote);
        for (char c : text) {
            if (c == kQuote) out_.push_back(kQuote);
            out_.push_back(c);
        }
        out_.push_back(kQuote);
    }

    const std::string &numberFormat(uint32_t style) const { return workbook_.styles().at(style).numberFormat; }

    bool hasTextFormat(uint32_t style) {
        if (style >= textStyle_.size()) style = 0;
        uint8_t &known = textStyle_[style];
        if (known == kUnknown) known = mayFormatText(numberFormat(style)) ? kFormattedText : kPlainText;
        return known == kFormattedText;
    }

    // The text so far goes to the file while the next is formatted.
    WriteResult flush() {
        if (out_.empty()) return WriteResult::done();
        return behind_.write(out_);
    }
    // Everything written: the file may be committed.
    WriteResult finish() {
        if (WriteResult flushed = flush(); !flushed) return flushed;
        return behind_.finish();
    }

    const WorkbookModel &workbook_;
    std::vector<uint8_t> textStyle_;
    std::string out_;
    WriteBehind behind_;  // last: waits for its write before the rest goes
};

}  // namespace

WriteResult writeCsv(const WorkbookModel &workbook, size_t sheetIndex, const std::string &path, const SheetTail *tail) {
    if (sheetIndex >= workbook.sheetCount())
        return WriteResult::failed("cannot save \"" + path + "\": the workbook has no sheet " +
                                   std::to_string(sheetIndex + 1));
    AtomicFile file(path);
    if (WriteResult opened = file.open(); !opened) return opened;
    model::RowSpill *rows = tail && tail->rows && tail->sheetIndex == sheetIndex ? tail->rows : nullptr;
    if (WriteResult written = CsvBuilder(workbook, file).writeSheet(workbook.sheet(sheetIndex), rows); !written)
        return written;
    return file.commit();
}

}  // namespace automation::writers
