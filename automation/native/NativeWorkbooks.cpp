// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeWorkbooks.h"

#include "automation/native/NativeWorkbook.h"
#include "automation/native/ReadAhead.h"
#include "automation/native/SourceRead.h"
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

std::unique_ptr<Workbook> NativeWorkbooks::open(const QString &path) {
    // Opening copies the parsed model; running out of memory there costs this
    // file, like a failed read, and never reaches the caller as an exception.
    try {
        return openParsed(path);
    } catch (...) {
        lastFailure_ = OpenFailure::Unreadable;
        return nullptr;
    }
}

std::unique_ptr<Workbook> NativeWorkbooks::openParsed(const QString &path) {
    lastFailure_ = OpenFailure::Unreadable;
    auto app = application_.lock();
    if (!app || !app->cache || path.isEmpty()) return nullptr;
    readers::ReadStatus status = readers::ReadStatus::Ok;
    std::shared_ptr<const CachedWorkbook> parsed =
        app->readAhead ? app->readAhead->take(path, &status) : app->cache->load(path, &status);
    if (!parsed) {
        lastFailure_ = status == readers::ReadStatus::Ok ? OpenFailure::Unreadable : openFailureOf(status);
        return nullptr;
    }
    // A workbook without sheets is nothing the application could show.
    if (parsed->model().sheetCount() == 0) {
        lastFailure_ = OpenFailure::Damaged;
        return nullptr;
    }
    // A copy-on-write view: what this opening changes stays with it.
    auto state = app->newWorkbook(parsed->model());
    state->origin = parsed;
    state->reduction = parsed->reduction();
    state->path = path;
    state->display.attachShared(parsed);
    lastFailure_ = OpenFailure::None;
    return std::make_unique<NativeWorkbook>(application_, state);
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
