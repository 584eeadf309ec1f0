// SPDX-License-Identifier: Apache-2.0
// Keeps of a sheet, row by row as it is read, what a RowFilter reaches: a
// row is judged once its last cell is in. Rows must come in ascending order
// and a row's cells in ascending columns, as every producer writes them;
// anything else makes add() or enterRow() answer false, and the sheet is
// then read whole and fed through here again (keepReachedRows).
#pragma once

#include "automation/model/Sheet.h"
#include "automation/readers/xlsx/WorksheetContext.h"

#include <cstddef>
#include <cstdint>

namespace automation::readers::xlsx {

class RowKeeper {
public:
    // `reclaimStrings`: texts pooled by a row that is not kept go back to the pool.
    RowKeeper(const WorksheetContext &ctx, model::Sheet *sheet, SheetOutline *outline, bool reclaimStrings);

    // A row element: its format goes with the row if the row is kept.
    bool startRow(uint32_t index, float height, uint32_t style, bool hidden);
    // The row the next cell belongs to; before its inline text is pooled.
    bool enterRow(uint32_t index) { return (open_ && index == pending_.index) || enterNewRow(index); }
    // A used cell of the row entered last. Inline: it runs once a kept cell.
    bool add(const model::Cell &cell) {
        model::Cell *kept = next(cell.column);
        if (kept) *kept = cell;
        return kept;
    }
    // The slot for the next cell of the row, to be filled in place (the
    // common cells are set field by field, never built and copied whole);
    // null when `column` does not follow the row's last cell.
    model::Cell *next(uint32_t column) {
        if (!pending_.cells.empty() && pending_.cells.back().column >= column) return nullptr;
        return &pending_.cells.emplace_back();
    }
    void finish() { flush(); }

private:
    bool enterNewRow(uint32_t index);
    void flush();
    model::Row &keptRow();

    RowFilter &filter_;
    const model::WorkbookModel &workbook_;
    model::StringPool *strings_;
    model::Sheet *sheet_;
    SheetOutline *outline_;
    const uint32_t keptColumn_;
    const bool reclaimStrings_;
    model::Row pending_;
    bool open_ = false;
    uint32_t lastRow_ = 0;
    size_t stringMark_ = 0;
};

// Keeps of a sheet read whole what `context.filter` reaches, as a filtered
// read would have; `outline` tells what the whole sheet held.
void keepReachedRows(const WorksheetContext &context, model::Sheet *sheet, SheetOutline *outline);

}  // namespace automation::readers::xlsx
