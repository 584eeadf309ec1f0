// SPDX-License-Identifier: Apache-2.0
// Memory for large arrays that are filled once and then read (a workbook's
// texts and their index, an inflated part). From 2 MiB on it is aligned to
// 2 MiB and the kernel is asked for transparent huge pages, so filling it
// costs one page fault per 2 MiB instead of one per 4 KiB: in a virtual
// machine each fault is dear, and a large workbook's texts alone took tens
// of thousands. Smaller requests are plain heap memory.
#pragma once

#include <cstddef>
#include <new>

namespace automation::model {

// Null when the memory cannot be had.
void *allocateLarge(size_t bytes) noexcept;
void freeLarge(void *p) noexcept;

struct LargeFree {
    void operator()(void *p) const noexcept { freeLarge(p); }
};

// For std::vector and the like.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U> &) noexcept {}
    T *allocate(size_t n) {
        if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        void *p = allocateLarge(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T *>(p);
    }
    void deallocate(T *p, size_t) noexcept { freeLarge(p); }
    template <typename U>
    bool operator==(const LargeAllocator<U> &) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const LargeAllocator<U> &) const noexcept {
        return false;
    }
};

}  // namespace automation::model
