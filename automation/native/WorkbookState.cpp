// SPDX-License-Identifier: Apache-2.0
#include "automation/native/WorkbookState.h"

#include "automation/native/ReducedView.h"
#include "automation/native/SourceRead.h"

#include <QFile>
#include <algorithm>
#include <atomic>

namespace automation::native {

namespace {
// A pass copies from one source at a time (and its scratch sheet), so a
// few tables are plenty.
constexpr size_t kMaxRemapTables = 4;
}  // namespace

uint64_t nextWorkbookSerial() {
    static std::atomic<uint64_t> next{1};
    return next++;
}

bool WorkbookState::answersFind(const QString &what, int lookAt) const {
    return !reduction || reduction->plan->covers(what, lookAt);
}

bool WorkbookState::ensureHolds(uint32_t sheetUid, const model::CellArea &area) {
    return !reduction || reduction->holds(sheetUid, area) || ensureFull();
}

void WorkbookState::giveBackStrings(uint32_t sheetUid) {
    if (lent.sheetUid != sheetUid || lent.to <= lent.from) return;
    const LentStrings texts = lent;
    // Anything else added to the pool since holds on to the lent texts' room.
    if (model.strings().size() != texts.to) {
        lent = LentStrings{};
        return;
    }
    // Other cells may have come to share a lent text. Looking costs at most a
    // few cells per text given back, so a large workbook keeps them instead.
    size_t budget = 4 * (texts.to - texts.from) + 4096;
    for (size_t s = 0; s < model.sheetCount(); ++s) {
        for (const model::Row &row : model.sheet(s).rows()) {
            if (row.cells.size() > budget) return;
            budget -= row.cells.size();
            for (const model::Cell &c : row.cells)
                if (c.type == model::CellType::String && c.stringId >= texts.from) return;
        }
    }
    lent = LentStrings{};
    const auto from = static_cast<uint32_t>(texts.from);
    model.mutableStrings().truncate(texts.from);
    // Copies from the same sources must enter those texts again.
    for (RemapTable &table : remaps)
        for (uint32_t &id : table.strings)
            if (id != RemapTable::kUnmapped && id >= from) id = RemapTable::kUnmapped;
    display.forgetStringsFrom(from);
}

void WorkbookState::noteClear(uint32_t sheetUid, const model::CellArea &area) {
    if (reduction) clears.push_back(Clear{sheetUid, area});
}

bool WorkbookState::ensureFull() {
    if (!reduction) return true;
    readers::ReadResult read = readSourceWorkbook(path);
    if (!read.workbook) return false;
    model::WorkbookModel whole = std::move(*read.workbook);
    // The same file gives the same sheets in the same order, so uids agree.
    for (const Clear &c : clears) {
        const int index = whole.sheetIndexByUid(c.sheetUid);
        if (index >= 0) whole.clearSheetArea(static_cast<size_t>(index), c.area);
    }
    model = std::move(whole);
    reduction.reset();
    origin.reset();
    clears.clear();
    display = DisplayTextCache{};
    serial = nextWorkbookSerial();  // string ids changed: copies from here on need fresh remaps
    return true;
}

bool WorkbookState::settle(uint32_t sheetUid) {
    if (!spill || spillSheetUid != sheetUid) return true;
    const int index = sheetIndex(sheetUid);
    if (index < 0) {
        spill.reset();
        return true;
    }
    model::Sheet &sheet = model.mutableSheet(static_cast<size_t>(index));
    model::StringPool &strings = model.mutableStrings();
    model::SpilledRow row;
    spill->rewind();
    while (spill->next(&row)) {
        for (model::Cell &cell : row.row.cells)
            if (cell.type == model::CellType::String) cell.stringId = strings.intern(row.text(cell));
        sheet.replaceRow(row.row.index, row.row);
        sheet.merges.insert(sheet.merges.end(), row.merges.begin(), row.merges.end());
    }
    if (!spill->error().empty()) return false;
    spill.reset();
    return true;
}

uint32_t WorkbookState::lastRow(uint32_t sheetUid) const {
    const int index = sheetIndex(sheetUid);
    if (index < 0) return 0;
    const auto &rows = model.sheet(static_cast<size_t>(index)).rows();
    uint32_t last = rows.empty() ? 0 : rows.back().index;
    if (spill && spillSheetUid == sheetUid) last = std::max(last, spill->lastRow());
    return last;
}

int WorkbookState::activeSheetIndex() const {
    const int index = model.sheetIndexByUid(activeSheetUid);
    return index >= 0 ? index : 0;
}

RemapTable &WorkbookState::remapFrom(uint64_t sourceSerial) {
    auto it =
        std::find_if(remaps.begin(), remaps.end(), [&](const RemapTable &t) { return t.sourceSerial == sourceSerial; });
    if (it == remaps.begin() && it != remaps.end()) return remaps.front();
    RemapTable table;
    if (it != remaps.end()) {
        table = std::move(*it);
        remaps.erase(it);
    } else {
        table.sourceSerial = sourceSerial;
    }
    remaps.insert(remaps.begin(), std::move(table));
    if (remaps.size() > kMaxRemapTables) remaps.pop_back();
    return remaps.front();
}

std::shared_ptr<WorkbookState> ApplicationState::newWorkbook(model::WorkbookModel model) {
    auto state = std::make_shared<WorkbookState>();
    state->serial = nextWorkbookSerial();
    state->model = std::move(model);
    if (state->model.sheetCount() > 0) state->activeSheetUid = state->model.sheet(0).uid;
    workbooks.push_back(state);
    active = state;
    return state;
}

void ApplicationState::close(const WorkbookState *workbook) {
    auto it = std::find_if(workbooks.begin(), workbooks.end(),
                           [&](const std::shared_ptr<WorkbookState> &w) { return w.get() == workbook; });
    if (it == workbooks.end()) return;
    workbooks.erase(it);
    if (active.expired() || active.lock().get() == workbook)
        active = workbooks.empty() ? std::weak_ptr<WorkbookState>() : workbooks.back();
}

void ApplicationState::closeAll() {
    workbooks.clear();
    active.reset();
}

}  // namespace automation::native
