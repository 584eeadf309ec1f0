// SPDX-License-Identifier: Apache-2.0
// The texts of one workbook (UTF-8), kept end to end in a few large blocks:
// a workbook holds hundreds of thousands of short texts, and one allocation
// each would cost more than the texts themselves.
#pragma once

#include "automation/model/LargeMemory.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace automation::model {

class StringPool {
public:
    StringPool() = default;
    StringPool(const StringPool &other);
    StringPool &operator=(const StringPool &other);
    StringPool(StringPool &&) noexcept = default;
    StringPool &operator=(StringPool &&) noexcept = default;

    // Appends without looking for an equal entry: readers keep the file's own
    // shared-string numbering. Returns the new index.
    uint32_t append(std::string_view text);
    // Drops the texts from index `count` on, and the room they took: a reader
    // taking back the texts of rows it did not keep.
    void truncate(size_t count);
    // The index of an equal text, added when it is new.
    uint32_t intern(std::string_view text);

    // Valid until the text is truncated away or the pool is gone; empty for
    // an unknown index. A NUL follows each text, so data() is a C string too.
    std::string_view at(uint32_t index) const { return index < texts_.size() ? texts_[index] : std::string_view(); }
    size_t size() const { return texts_.size(); }
    void reserve(size_t n) { texts_.reserve(n); }

private:
    struct Block {
        std::unique_ptr<char, LargeFree> bytes;
        size_t size = 0, used = 0;
    };
    char *room(size_t bytes);
    void buildIndex();

    std::vector<std::string_view, LargeAllocator<std::string_view>> texts_;  // into blocks_, which never move
    std::vector<Block> blocks_;
    // Built on the first intern(), then kept up to date; readers that only
    // append never pay for it.
    std::unordered_map<std::string_view, uint32_t> index_;
    bool indexed_ = false;
};

}  // namespace automation::model
