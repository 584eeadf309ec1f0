// SPDX-License-Identifier: Apache-2.0
#include "automation/model/StringPool.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

namespace automation::model {

namespace {

// Blocks start small (most workbooks hold few texts) and double up to this,
// the size from which they are given huge pages.
constexpr size_t kFirstBlockBytes = 4 * 1024;
constexpr size_t kLargestBlockBytes = 2 * 1024 * 1024;

}  // namespace

StringPool::StringPool(const StringPool &other) {
    texts_.reserve(other.texts_.size());
    for (std::string_view t : other.texts_) append(t);
    if (other.indexed_) buildIndex();
}

StringPool &StringPool::operator=(const StringPool &other) {
    if (this != &other) *this = StringPool(other);
    return *this;
}

char *StringPool::room(size_t bytes) {
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes) {
        const size_t last = blocks_.empty() ? 0 : blocks_.back().size;
        const size_t size = std::max(bytes, std::clamp(2 * last, kFirstBlockBytes, kLargestBlockBytes));
        std::unique_ptr<char, LargeFree> block(static_cast<char *>(allocateLarge(size)));
        if (!block) throw std::bad_alloc();
        blocks_.push_back(Block{std::move(block), size, 0});
    }
    Block &b = blocks_.back();
    char *at = b.bytes.get() + b.used;
    b.used += bytes;
    return at;
}

uint32_t StringPool::append(std::string_view text) {
    const auto id = static_cast<uint32_t>(texts_.size());
    char *at = text.empty() ? nullptr : room(text.size() + 1);
    if (at) {
        std::memcpy(at, text.data(), text.size());
        at[text.size()] = '\0';
    }
    texts_.emplace_back(at ? at : "", text.size());
    if (indexed_) index_.emplace(texts_.back(), id);
    return id;
}

uint32_t StringPool::intern(std::string_view text) {
    if (!indexed_) buildIndex();
    auto it = index_.find(text);
    if (it != index_.end()) return it->second;
    return append(text);
}

void StringPool::truncate(size_t count) {
    if (count >= texts_.size()) return;
    if (indexed_) {
        for (size_t i = count; i < texts_.size(); ++i) {
            auto it = index_.find(texts_[i]);
            if (it != index_.end() && it->second >= count) index_.erase(it);
        }
    }
    // The room from the first dropped text on is free again: texts lie in
    // the order they came, block after block.
    const char *firstDropped = nullptr;
    for (size_t i = count; i < texts_.size() && !firstDropped; ++i)
        if (!texts_[i].empty()) firstDropped = texts_[i].data();
    texts_.resize(count);
    if (!firstDropped) return;
    const std::less<const char *> before;
    while (!blocks_.empty()) {
        Block &b = blocks_.back();
        const char *begin = b.bytes.get();
        if (!before(firstDropped, begin) && before(firstDropped, begin + b.size)) {
            b.used = static_cast<size_t>(firstDropped - begin);
            return;
        }
        blocks_.pop_back();
    }
}

void StringPool::buildIndex() {
    index_.reserve(texts_.size() * 2 + 16);
    for (uint32_t i = 0; i < texts_.size(); ++i) index_.emplace(texts_[i], i);  // first one wins
    indexed_ = true;
}

}  // namespace automation::model
