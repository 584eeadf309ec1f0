// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeWorkbooks.h"

#include "automation/native/NativeWorkbook.h"
#include "automation/native/ReadAhead.h"
#include "automation/native/WorkbookCache.h"

namespace automation::native {

namespace {
constexpr char kFirstSheetName[] = "Sheet1";
}  // namespace

NativeWorkbooks::NativeWorkbooks(std::weak_ptr<ApplicationState> application) : application_(std::move(application)) {}

bool NativeWorkbooks::add() {
    auto app = application_.lock();
    if (!app) return false;
    model::WorkbookModel blank;
    blank.appendSheet(kFirstSheetName);
    app->newWorkbook(std::move(blank));
    return true;
}

OpenResult NativeWorkbooks::openWorkbook(const QString &path) {
    // Opening copies the parsed model; running out of memory there costs this
    // file, like a failed read, and never reaches the caller as an exception.
    try {
        return openParsed(path);
    } catch (...) {
        return OpenResult{nullptr, ReadStatus::Unreadable};
    }
}

OpenResult NativeWorkbooks::openParsed(const QString &path) {
    auto app = application_.lock();
    if (!app || !app->cache || path.isEmpty()) return OpenResult{nullptr, ReadStatus::Unreadable};
    ReadStatus status = ReadStatus::Ok;
    std::shared_ptr<const CachedWorkbook> parsed =
        app->readAhead ? app->readAhead->take(path, &status) : app->cache->load(path, &status);
    // No workbook without a reason is still a failure.
    if (!parsed) return OpenResult{nullptr, status == ReadStatus::Ok ? ReadStatus::Unreadable : status};
    // A workbook without sheets is nothing the application could show.
    if (parsed->model().sheetCount() == 0) return OpenResult{nullptr, ReadStatus::Corrupt};
    // A copy-on-write view: what this opening changes stays with it.
    auto state = app->newWorkbook(parsed->model());
    state->origin = parsed;
    state->reduction = parsed->reduction();
    state->path = path;
    state->display.attachShared(parsed);
    return OpenResult{std::make_unique<NativeWorkbook>(application_, state), ReadStatus::Ok};
}

void NativeWorkbooks::expectOpens(const OpenPlan &plan) {
    auto app = application_.lock();
    if (!app || !app->cache) return;
    if (!app->readAhead) {
        const int threads = ReadAhead::defaultThreads();
        app->readAhead = std::make_shared<ReadAhead>(app->cache, threads, threads + 1);
    }
    app->readAhead->expect(plan);
}

}  // namespace automation::native
