// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeRange.h"

#include "automation/native/CellSearch.h"
#include "automation/native/DisplayText.h"
#include "automation/native/RangeCopy.h"

#include <algorithm>

namespace automation::native {

NativeRange::NativeRange(std::weak_ptr<WorkbookState> workbook, uint32_t sheetUid, const model::CellArea &area)
    : workbook_(std::move(workbook)), sheetUid_(sheetUid), area_(area) {}

std::shared_ptr<WorkbookState> NativeRange::resolve(int *sheetIndex) const {
    auto state = workbook_.lock();
    if (!state) return nullptr;
    const int index = state->sheetIndex(sheetUid_);
    if (index < 0) return nullptr;
    *sheetIndex = index;
    return state;
}

int NativeRange::row() const {
    int index = 0;
    return resolve(&index) ? static_cast<int>(area_.firstRow) : 0;
}

int NativeRange::column() const {
    int index = 0;
    return resolve(&index) ? static_cast<int>(area_.firstColumn) : 0;
}

long long NativeRange::rowCount() const {
    int index = 0;
    return resolve(&index) ? static_cast<long long>(area_.lastRow) - area_.firstRow + 1 : 0;
}

long long NativeRange::columnCount() const {
    int index = 0;
    return resolve(&index) ? static_cast<long long>(area_.lastColumn) - area_.firstColumn + 1 : 0;
}

long long NativeRange::count() const { return rowCount() * columnCount(); }

std::unique_ptr<Range> NativeRange::find(const QString &what, const Range *after, int lookIn, int lookAt) {
    Q_UNUSED(lookIn);  // formula cells hold their cached values, so values are all there is to look in
    if (lookAt != kLookAtWhole && lookAt != kLookAtPart) return nullptr;
    int index = 0;
    auto state = resolve(&index);
    if (!state) return nullptr;
    if (!state->answersFind(what, lookAt) && !state->ensureFull()) return nullptr;
    if (!state->settle(sheetUid_)) return nullptr;

    FindQuery query;
    query.what = what;
    query.lookAt = lookAt;
    query.range = area_;
    if (const auto *start = dynamic_cast<const NativeRange *>(after)) {
        // A start cell elsewhere (another sheet, another workbook) searches the whole range.
        if (start->workbook_.lock() == state && start->sheetUid_ == sheetUid_) {
            query.afterInside = true;
            query.afterRow = start->area_.firstRow;
            query.afterColumn = start->area_.firstColumn;
        }
    }
    CellPosition found;
    if (!findCell(*state, index, query, &found)) return nullptr;
    return std::make_unique<NativeRange>(workbook_, sheetUid_,
                                         model::CellArea{found.row, found.column, found.row, found.column});
}

bool NativeRange::copy(const Range &destination) {
    const auto *target = dynamic_cast<const NativeRange *>(&destination);
    if (!target) return false;
    int index = 0;
    auto source = resolve(&index);
    int targetIndex = 0;
    auto dest = target->resolve(&targetIndex);
    if (!source || !dest) return false;
    if (!source->ensureHolds(sheetUid_, area_) || !dest->ensureFull()) return false;
    return copyArea(*source, sheetUid_, area_, *dest, target->sheetUid_, target->area_.firstRow,
                    target->area_.firstColumn);
}

QString NativeRange::value() const {
    int index = 0;
    auto state = resolve(&index);
    if (!state || !state->settle(sheetUid_) ||
        !state->ensureHolds(sheetUid_,
                            model::CellArea{area_.firstRow, area_.firstColumn, area_.firstRow, area_.firstColumn}))
        return QString();
    const model::Cell *cell =
        state->model.sheet(static_cast<size_t>(index)).findCell(area_.firstRow, area_.firstColumn);
    return cell ? QString::fromStdString(displayText(state->model, *cell)) : QString();
}

bool NativeRange::clear() {
    int index = 0;
    auto state = resolve(&index);
    if (!state || !state->settle(sheetUid_)) return false;
    state->noteClear(sheetUid_, area_);
    state->model.clearSheetArea(static_cast<size_t>(index), area_);
    state->giveBackStrings(sheetUid_);
    return true;
}

}  // namespace automation::native
