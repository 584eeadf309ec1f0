// SPDX-License-Identifier: Apache-2.0
#include "engine/RowLimit.h"

#include <atomic>

namespace engine {

namespace {
std::atomic<int> limitOverride{0};
}

int rowLimit() {
    const int overridden = limitOverride.load();
    return overridden > 0 ? overridden : kDefaultRowLimit;
}

void setRowLimitForTesting(int limit) { limitOverride.store(limit > 0 ? limit : 0); }

}  // namespace engine
