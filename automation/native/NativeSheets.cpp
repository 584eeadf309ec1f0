// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeSheets.h"

#include "automation/native/NativeWorksheet.h"

namespace automation::native {

NativeSheets::NativeSheets(std::weak_ptr<WorkbookState> workbook) : workbook_(std::move(workbook)) {}

int NativeSheets::count() const {
    auto state = workbook_.lock();
    return state ? static_cast<int>(state->model.sheetCount()) : 0;
}

std::unique_ptr<Worksheet> NativeSheets::item(int index) {
    auto state = workbook_.lock();
    if (!state || index < 1 || static_cast<size_t>(index) > state->model.sheetCount()) return nullptr;
    return std::make_unique<NativeWorksheet>(workbook_, state->model.sheet(static_cast<size_t>(index - 1)).uid);
}

QString NativeSheets::unusedSheetName(const model::WorkbookModel &workbook) {
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("Sheet%1").arg(n);
        bool taken = false;
        for (size_t i = 0; i < workbook.sheetCount() && !taken; ++i)
            taken = QString::fromStdString(workbook.sheet(i).name).compare(candidate, Qt::CaseInsensitive) == 0;
        if (!taken) return candidate;
    }
}

std::unique_ptr<Worksheet> NativeSheets::add(const Worksheet &before) {
    auto state = workbook_.lock();
    const auto *anchor = dynamic_cast<const NativeWorksheet *>(&before);
    // The anchor must be a live sheet of this very workbook.
    if (!state || !anchor || anchor->workbook() != state || !state->ensureFull()) return nullptr;
    const int index = state->sheetIndex(anchor->uid());
    if (index < 0) return nullptr;
    model::Sheet &sheet =
        state->model.insertSheet(static_cast<size_t>(index), unusedSheetName(state->model).toStdString());
    state->activeSheetUid = sheet.uid;
    return std::make_unique<NativeWorksheet>(workbook_, sheet.uid);
}

}  // namespace automation::native
