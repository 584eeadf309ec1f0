// SPDX-License-Identifier: Apache-2.0
#include "automation/native/NativeApplication.h"

#include "automation/native/NativeWorkbook.h"
#include "automation/native/WorkbookCache.h"

namespace automation::native {

namespace {
std::shared_ptr<ApplicationState> makeState(std::shared_ptr<ParsedWorkbookCache> cache) {
    auto state = std::make_shared<ApplicationState>();
    state->cache = cache ? std::move(cache) : std::make_shared<ParsedWorkbookCache>();
    return state;
}
}  // namespace

NativeApplication::NativeApplication(std::shared_ptr<ParsedWorkbookCache> cache)
    : state_(makeState(cache)), ownsCache_(!cache), workbooks_(state_) {}

NativeApplication::~NativeApplication() = default;

void NativeApplication::setVisible(const QString &visible) {
    state_->visible = visible.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void NativeApplication::setDisplayAlerts(bool on) { state_->displayAlerts = on; }

Workbooks *NativeApplication::workbooks() { return &workbooks_; }

std::unique_ptr<Workbook> NativeApplication::activeWorkbook() {
    auto active = state_->active.lock();
    if (!active) return nullptr;
    return std::make_unique<NativeWorkbook>(state_, active);
}

void NativeApplication::quit() {
    state_->readAhead.reset();  // stops its threads
    state_->closeAll();
    // A cache handed in may serve other applications too.
    if (ownsCache_) state_->cache->clear();
}

std::shared_ptr<ParsedWorkbookCache> NativeApplication::parsedWorkbookCache() const { return state_->cache; }

}  // namespace automation::native
