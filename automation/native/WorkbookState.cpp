#include "automation/native/WorkbookState.h"

#include <algorithm>

namespace automation::native {

namespace {
// A pass copies from one source at a time (and its scratch sheet), so a
// few tables are plenty.
constexpr size_t kMaxRemapTables = 4;
}  // namespace

int WorkbookState::activeSheetIndex() const {
    const int index = model.sheetIndexByUid(activeSheetUid);
    return index >= 0 ? index : 0;
}

RemapTable &WorkbookState::remapFrom(uint64_t sourceSerial) {
    auto it = std::find_if(remaps.begin(), remaps.end(),
                           [&](const RemapTable &t) { return t.sourceSerial == sourceSerial; });
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
    state->serial = nextSerial++;
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
