// SPDX-License-Identifier: Apache-2.0
#include "automation/model/LargeMemory.h"

#include <cstdlib>

#include <sys/mman.h>

namespace automation::model {

namespace {

constexpr size_t kHugePageBytes = 2u << 20;

}  // namespace

void *allocateLarge(size_t bytes) noexcept {
    if (bytes < kHugePageBytes) return std::malloc(bytes ? bytes : 1);
    if (bytes > static_cast<size_t>(-1) - kHugePageBytes) return nullptr;
    // aligned_alloc wants a whole number of alignments.
    const size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void *p = std::aligned_alloc(kHugePageBytes, rounded);
#ifdef MADV_HUGEPAGE
    // Advice only: where the kernel has no huge pages to give, nothing changes.
    if (p) madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}

void freeLarge(void *p) noexcept { std::free(p); }

}  // namespace automation::model
