// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/RowKeeper.h"

#include <algorithm>
#include <string>
#include <vector>

namespace automation::readers::xlsx {

using namespace model;

RowKeeper::RowKeeper(const WorksheetContext &ctx, Sheet *sheet, SheetOutline *outline, bool reclaimStrings)
    : filter_(*ctx.filter),
      workbook_(*ctx.workbook),
      strings_(ctx.strings),
      sheet_(sheet),
      outline_(outline),
      keptColumn_(ctx.filter->keptColumn()),
      reclaimStrings_(reclaimStrings) {}

bool RowKeeper::startRow(uint32_t index, float height, uint32_t style, bool hidden) {
    if (!enterRow(index)) return false;
    // As the whole read does: a row element without a format leaves the row's as it was.
    if (height >= 0 || style || hidden) {
        if (height >= 0) pending_.height = height;
        pending_.style = style;
        pending_.hidden = hidden;
    }
    return true;
}

bool RowKeeper::enterNewRow(uint32_t index) {
    flush();
    if (index <= lastRow_) return false;
    lastRow_ = index;
    open_ = true;
    pending_.index = index;
    pending_.height = -1.0f;
    pending_.style = 0;
    pending_.hidden = false;
    pending_.cells.clear();
    stringMark_ = strings_->size();
    return true;
}

void RowKeeper::flush() {
    if (!open_) return;
    open_ = false;
    const std::vector<Cell> &cells = pending_.cells;
    if (cells.empty()) return;  // a row format alone is not kept (nor reached)
    // Rows come in ascending order, so the first with a used cell is the used area's first row.
    bool keep = !outline_->hasUsed;
    const uint32_t row = pending_.index;
    if (!outline_->hasUsed) {
        outline_->used = CellArea{row, cells.front().column, row, cells.back().column};
        outline_->hasUsed = true;
    } else {
        CellArea &u = outline_->used;
        u.lastRow = row;
        u.firstColumn = std::min(u.firstColumn, cells.front().column);
        u.lastColumn = std::max(u.lastColumn, cells.back().column);
    }
    for (auto c = cells.begin(); !keep && c != cells.end(); ++c)
        keep = c->hasValue() && filter_.canMatch(workbook_, *c);
    if (keep) {
        outline_->keptRows.push_back(row);
        keptRow();
        for (const Cell &c : cells) sheet_->setCell(row, c);  // notes the used area
        return;
    }
    const Cell *column = nullptr;
    if (keptColumn_) {
        for (const Cell &c : cells)
            if (c.column == keptColumn_) column = &c;
    }
    Cell kept = column ? *column : Cell{};
    if (reclaimStrings_ && strings_->size() > stringMark_) {
        // Texts written in the row itself go with it; one the kept column holds moves down.
        std::string text;
        const bool own = column && kept.type == CellType::String && kept.stringId >= stringMark_;
        if (own) text = strings_->at(kept.stringId);
        strings_->truncate(stringMark_);
        if (own) kept.stringId = strings_->append(std::move(text));
    }
    if (column) {
        keptRow();
        sheet_->setCell(row, kept);
    }
}

Row &RowKeeper::keptRow() {
    Row &r = sheet_->rowForWrite(pending_.index);
    r.height = pending_.height;
    r.style = pending_.style;
    r.hidden = pending_.hidden;
    return r;
}

void keepReachedRows(const WorksheetContext &context, Sheet *sheet, SheetOutline *outline) {
    *outline = SheetOutline{};
    Sheet kept = model::sheetWithoutRows(*sheet);
    RowKeeper keeper(context, &kept, outline, false);
    for (const Row &r : sheet->rows()) {
        keeper.startRow(r.index, r.height, r.style, r.hidden);
        for (const Cell &c : r.cells) keeper.add(c);
    }
    keeper.finish();
    *sheet = std::move(kept);
}

}  // namespace automation::readers::xlsx
