// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeWorksheet.h"

#include "automation/model/Limits.h"
#include "automation/native/NativeRange.h"
#include "automation/native/ReducedView.h"

#include <algorithm>

namespace automation::native {

namespace {
bool validRow(int row) { return row >= 1 && static_cast<uint32_t>(row) <= model::kMaxRows; }
// A destination cell may lie past the grid: results there are saved as CSV.
bool validCellRow(int row) { return row >= 1 && static_cast<uint32_t>(row) <= model::kMaxAppendRows; }
bool validColumn(int column) { return column >= 1 && static_cast<uint32_t>(column) <= model::kMaxColumns; }
}  // namespace

NativeWorksheet::NativeWorksheet(std::weak_ptr<WorkbookState> workbook, uint32_t uid)
    : workbook_(std::move(workbook)), uid_(uid) {}

std::shared_ptr<WorkbookState> NativeWorksheet::resolve(int *sheetIndex) const {
    auto state = workbook_.lock();
    if (!state) return nullptr;
    *sheetIndex = state->sheetIndex(uid_);
    return *sheetIndex >= 0 ? state : nullptr;
}

std::unique_ptr<Range> NativeWorksheet::block(uint32_t firstRow, uint32_t firstColumn, uint32_t lastRow,
                                              uint32_t lastColumn) {
    int index = 0;
    if (!resolve(&index)) return nullptr;
    return std::make_unique<NativeRange>(workbook_, uid_, model::CellArea{firstRow, firstColumn, lastRow, lastColumn});
}

QString NativeWorksheet::name() const {
    int index = 0;
    auto state = resolve(&index);
    return state ? QString::fromStdString(state->model.sheet(static_cast<size_t>(index)).name) : QString();
}

std::unique_ptr<Range> NativeWorksheet::usedRange() {
    int index = 0;
    auto state = resolve(&index);
    if (!state) return nullptr;
    model::CellArea area;
    bool used = false;
    const bool sheetEdited = std::any_of(state->clears.begin(), state->clears.end(),
                                         [&](const WorkbookState::Clear &c) { return c.sheetUid == uid_; });
    if (state->reduction && !sheetEdited) {
        // A reduced view knows the whole sheet's used area.
        const ReducedSheet *whole = state->reduction->sheet(uid_);
        used = whole && whole->outline.hasUsed;
        if (used) area = whole->outline.used;
    } else {
        if (!state->ensureFull()) return nullptr;
        used = state->model.sheet(static_cast<size_t>(index)).usedArea(&area);
        model::CellArea spilled;
        if (state->spill && state->spillSheetUid == uid_ && state->spill->usedArea(&spilled)) {
            if (!used) area = spilled;
            area = model::CellArea{
                std::min(area.firstRow, spilled.firstRow), std::min(area.firstColumn, spilled.firstColumn),
                std::max(area.lastRow, spilled.lastRow), std::max(area.lastColumn, spilled.lastColumn)};
            used = true;
        }
    }
    // A sheet with nothing in it reports A1, as the spreadsheet applications do.
    if (!used) area = model::CellArea{1, 1, 1, 1};
    return block(area.firstRow, area.firstColumn, area.lastRow, area.lastColumn);
}

std::unique_ptr<Range> NativeWorksheet::cells(int row, int column) {
    if (!validCellRow(row) || !validColumn(column)) return nullptr;
    const auto r = static_cast<uint32_t>(row), c = static_cast<uint32_t>(column);
    return block(r, c, r, c);
}

std::unique_ptr<Range> NativeWorksheet::rows(int row) {
    if (!validRow(row)) return nullptr;
    const auto r = static_cast<uint32_t>(row);
    return block(r, 1, r, model::kMaxColumns);
}

std::unique_ptr<Range> NativeWorksheet::columns(int column) {
    if (!validColumn(column)) return nullptr;
    const auto c = static_cast<uint32_t>(column);
    return block(1, c, model::kMaxRows, c);
}

bool NativeWorksheet::remove() {
    int index = 0;
    auto state = resolve(&index);
    // A workbook always keeps at least one sheet.
    if (!state || state->model.sheetCount() <= 1 || !state->ensureFull()) return false;
    const bool wasActive = state->activeSheetIndex() == index;
    state->model.removeSheet(static_cast<size_t>(index));
    if (state->spill && state->spillSheetUid == uid_) state->spill.reset();
    if (wasActive) {
        // The neighbour that moves into its place, or the one before when it was last.
        const size_t next = std::min(static_cast<size_t>(index), state->model.sheetCount() - 1);
        state->activeSheetUid = state->model.sheet(next).uid;
    }
    return true;
}

}  // namespace automation::native
