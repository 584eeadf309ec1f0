// SPDX-License-Identifier: Apache-2.0
// The same few codes are rendered millions of times from several threads:
// each thread first looks in a tiny private list, then in a shared map.
#include "automation/numfmt/CompiledFormat.h"

#include <mutex>
#include <unordered_map>

namespace automation::numfmt {

namespace {

constexpr size_t kThreadCacheSlots = 8;
// The shared map is emptied when it grows past this (codes are few in practice).
constexpr size_t kSharedCacheLimit = 4096;

struct CachedEntry {
    std::string code;
    std::shared_ptr<const CompiledFormat> compiled;
};

struct ThreadCache {
    CachedEntry slots[kThreadCacheSlots];
    size_t next = 0;
};

std::mutex &sharedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<std::string, std::shared_ptr<const CompiledFormat>> &sharedMap() {
    static std::unordered_map<std::string, std::shared_ptr<const CompiledFormat>> map;
    return map;
}

std::shared_ptr<const CompiledFormat> sharedLookup(std::string_view code) {
    std::string key(code);
    {
        std::lock_guard<std::mutex> lock(sharedMutex());
        auto found = sharedMap().find(key);
        if (found != sharedMap().end()) return found->second;
    }
    // Compiled outside the lock; a race only compiles the same code twice.
    auto compiled = std::make_shared<const CompiledFormat>(compileFormat(code));
    std::lock_guard<std::mutex> lock(sharedMutex());
    auto &map = sharedMap();
    if (map.size() >= kSharedCacheLimit) map.clear();
    map.emplace(std::move(key), compiled);
    return compiled;
}

}  // namespace

std::shared_ptr<const CompiledFormat> cachedFormat(std::string_view code) {
    thread_local ThreadCache cache;
    for (const CachedEntry &entry : cache.slots) {
        if (entry.compiled && entry.code == code) return entry.compiled;
    }
    std::shared_ptr<const CompiledFormat> compiled = sharedLookup(code);
    CachedEntry &slot = cache.slots[cache.next];
    cache.next = (cache.next + 1) % kThreadCacheSlots;
    slot.code.assign(code.data(), code.size());
    slot.compiled = compiled;
    return compiled;
}

}  // namespace automation::numfmt
