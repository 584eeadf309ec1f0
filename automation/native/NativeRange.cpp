#include "automation/native/NativeRange.h"

#include "automation/model/Limits.h"
#include "automation/native/CellSearch.h"
#include "automation/native/DisplayText.h"
#include "automation/native/RangeCopy.h"
#include "automation/numfmt/NumberFormat.h"

#include <algorithm>

namespace automation::native {

namespace {
// Filling a block cell by cell beyond this is surely a mistake (a whole sheet).
constexpr uint64_t kMaxFilledCells = uint64_t(model::kMaxRows) * 4;
}  // namespace

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

bool NativeRange::emptyCells(WorkbookState &state, int sheetIndex) {
    const auto i = static_cast<size_t>(sheetIndex);
    const auto filled = state.model.sheet(i).cellsWithValues(area_);
    // Nothing to empty: leave a shared sheet shared.
    if (filled.empty()) return true;
    model::Sheet &sheet = state.model.mutableSheet(i);
    const uint64_t before = sheet.version();
    for (const auto &rc : filled) sheet.clearValue(rc.first, rc.second);
    if (filled.size() == 1)
        noteCellEmptied(state, sheetUid_, filled[0].first, filled[0].second, before, sheet.version());
    return true;
}

bool NativeRange::fillCells(WorkbookState &state, int sheetIndex, const QString &value) {
    if (static_cast<uint64_t>(value.size()) > model::kMaxTextLength) return false;
    if (static_cast<uint64_t>(count()) > kMaxFilledCells) return false;
    const std::string utf8 = value.toStdString();
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    // A text that the General format shows back unchanged is taken as that number.
    isNumber = isNumber && numfmt::formatGeneral(number) == utf8;
    uint32_t stringId = 0;
    if (!isNumber) stringId = state.model.mutableStrings().intern(utf8);
    model::Sheet &sheet = state.model.mutableSheet(static_cast<size_t>(sheetIndex));
    for (uint32_t r = area_.firstRow; r <= area_.lastRow; ++r) {
        for (uint32_t c = area_.firstColumn; c <= area_.lastColumn; ++c) {
            const model::Cell *old = sheet.findCell(r, c);
            const uint32_t style = old ? old->style : 0;
            sheet.setCell(
                r, isNumber ? model::Cell::makeNumber(c, number, style) : model::Cell::makeString(c, stringId, style));
        }
    }
    return true;
}

bool NativeRange::setValue(const QString &value) {
    int index = 0;
    auto state = resolve(&index);
    if (!state || !state->settle(sheetUid_)) return false;
    if (!value.isEmpty()) return state->ensureFull() && fillCells(*state, index, value);
    if (!state->ensureHolds(sheetUid_, area_)) return false;
    state->noteEdit(sheetUid_, area_, false);
    return emptyCells(*state, index);
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
    state->noteEdit(sheetUid_, area_, true);
    state->model.clearSheetArea(static_cast<size_t>(index), area_);
    state->giveBackStrings(sheetUid_);
    return true;
}

}  // namespace automation::native
