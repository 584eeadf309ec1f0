// The texts of one workbook, each distinct text stored once (UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace automation::model {

class StringPool {
public:
    // Appends without looking for an equal entry: readers keep the file's own
    // shared-string numbering. Returns the new index.
    uint32_t append(std::string text);
    // Drops the texts from index `count` on: a reader taking back the texts
    // of rows it did not keep.
    void truncate(size_t count);
    // The index of an equal text, added when it is new.
    uint32_t intern(std::string_view text);

    const std::string &at(uint32_t index) const {
        static const std::string empty;
        return index < strings_.size() ? strings_[index] : empty;
    }
    size_t size() const { return strings_.size(); }
    void reserve(size_t n) { strings_.reserve(n); }

private:
    void buildIndex();

    std::vector<std::string> strings_;
    // Built on the first intern(), then kept up to date; readers that only
    // append never pay for it.
    std::unordered_map<std::string, uint32_t> index_;
    bool indexed_ = false;
};

}  // namespace automation::model
