#include "automation/model/StringPool.h"

namespace automation::model {

uint32_t StringPool::append(std::string text) {
    const auto id = static_cast<uint32_t>(strings_.size());
    if (indexed_) index_.emplace(text, id);
    strings_.push_back(std::move(text));
    return id;
}

uint32_t StringPool::intern(std::string_view text) {
    if (!indexed_) buildIndex();
    auto it = index_.find(std::string(text));
    if (it != index_.end()) return it->second;
    return append(std::string(text));
}

void StringPool::truncate(size_t count) {
    if (count >= strings_.size()) return;
    if (indexed_) {
        for (size_t i = count; i < strings_.size(); ++i) {
            auto it = index_.find(strings_[i]);
            if (it != index_.end() && it->second >= count) index_.erase(it);
        }
    }
    strings_.resize(count);
}

void StringPool::buildIndex() {
    index_.reserve(strings_.size() * 2 + 16);
    for (uint32_t i = 0; i < strings_.size(); ++i) index_.emplace(strings_[i], i);  // first one wins
    indexed_ = true;
}

}  // namespace automation::model
