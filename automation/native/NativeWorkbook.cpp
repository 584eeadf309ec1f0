// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeWorkbook.h"

#include "automation/readers/xlsx/KeptMarkupReader.h"

#include "automation/native/NativeSheets.h"
#include "automation/writers/Writers.h"

#include <QFile>

namespace automation::native {

namespace {
// The spilled rows of a result sheet, streamed by the writer after the model's.
writers::SheetTail tailOf(WorkbookState &state) {
    writers::SheetTail tail;
    const int index = state.spill ? state.sheetIndex(state.spillSheetUid) : -1;
    if (index < 0) return tail;
    tail.sheetIndex = static_cast<size_t>(index);
    tail.rows = state.spill.get();
    return tail;
}

}  // namespace

NativeWorkbook::NativeWorkbook(std::weak_ptr<ApplicationState> application, std::weak_ptr<WorkbookState> workbook)
    : application_(std::move(application)), workbook_(std::move(workbook)) {}

std::unique_ptr<Sheets> NativeWorkbook::sheets() {
    if (workbook_.expired()) return nullptr;
    return std::make_unique<NativeSheets>(workbook_);
}

int NativeWorkbook::formulasNotEvaluated() const {
    auto state = workbook_.lock();
    return state ? static_cast<int>(state->model.formulasNotEvaluated) : 0;
}

WriteResult NativeWorkbook::saveAs(const QString &path) {
    auto state = workbook_.lock();
    if (!state) return WriteResult::failed("the workbook is closed");
    if (path.isEmpty()) return WriteResult::failed("no file name");
    if (!state->ensureFull()) return WriteResult::failed("the workbook's file can no longer be read");
    const writers::SheetTail tail = tailOf(*state);
    // A workbook opened from an .xlsx file (a header template) keeps what its
    // sheets held beyond cells: panes, filter, validation, print settings, names.
    std::shared_ptr<const model::KeptMarkup> kept;
    if (!state->path.isEmpty()) kept = readers::xlsx::readKeptMarkup(QFile::encodeName(state->path).toStdString());
    return writers::writeXlsx(state->model, QFile::encodeName(path).toStdString(), &tail, kept.get());
}

WriteResult NativeWorkbook::saveAs(const QString &path, int fileFormat) {
    if (fileFormat != kFileFormatCsv) return saveAs(path);
    auto state = workbook_.lock();
    if (!state) return WriteResult::failed("the workbook is closed");
    if (path.isEmpty()) return WriteResult::failed("no file name");
    if (!state->ensureFull()) return WriteResult::failed("the workbook's file can no longer be read");
    // CSV holds one sheet: the active one, as the spreadsheet applications save it.
    const writers::SheetTail tail = tailOf(*state);
    return writers::writeCsv(state->model, static_cast<size_t>(state->activeSheetIndex()),
                             QFile::encodeName(path).toStdString(), &tail);
}

void NativeWorkbook::close(bool saveChanges) {
    Q_UNUSED(saveChanges);
    auto app = application_.lock();
    auto state = workbook_.lock();
    if (app && state) app->close(state.get());
}

}  // namespace automation::native
