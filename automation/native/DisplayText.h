// SPDX-License-Identifier: Apache-2.0
// Cell values as the spreadsheet application shows them, and a per-workbook
// cache of their folded forms so that repeated searches do not render and
// fold the same texts again.
#pragma once

#include "automation/model/WorkbookModel.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace automation::native {

class CachedWorkbook;
struct FoldedStrings;

// The displayed text of a cell (UTF-8); empty for an empty cell.
std::string displayText(const model::WorkbookModel &workbook, const model::Cell &cell);

// True when the format code is the "General" one.
bool isGeneralFormat(const std::string &formatCode);

class DisplayTextCache {
public:
    // Folded string texts with ids below the shared table's size come from it.
    void attachShared(std::shared_ptr<const CachedWorkbook> shared);

    // The folded displayed text of a cell holding a value.
    const std::u16string &folded(const model::WorkbookModel &workbook, const model::Cell &cell);
    // Every character (folded) that a number can show through this style's
    // format; false when the format can show words (month or day names,
    // AM/PM, Chinese numerals), so no such bound exists.
    bool numberAlphabet(const model::WorkbookModel &workbook, uint32_t style, std::u16string *alphabet);
    // Forgets the texts of string ids from `id` on: the pool dropped them.
    void forgetStringsFrom(uint32_t id);

private:
    enum class StyleKind : uint8_t { Unknown, General, Text, Other };
    StyleKind kindOf(const model::WorkbookModel &workbook, uint32_t style);
    const std::u16string &foldedString(const model::WorkbookModel &workbook, uint32_t id);

    struct Key {
        uint64_t a;
        uint32_t b;
        bool operator==(const Key &o) const { return a == o.a && b == o.b; }
    };
    struct KeyHash {
        size_t operator()(const Key &k) const {
            // splitmix64's finaliser: the bits of doubles cluster badly otherwise.
            uint64_t x = k.a ^ (uint64_t(k.b) << 32 | k.b);
            x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
            x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
            return static_cast<size_t>(x ^ (x >> 31));
        }
    };

    std::shared_ptr<const CachedWorkbook> shared_;
    size_t sharedCount_ = 0;
    const FoldedStrings *sharedFolded_ = nullptr;  // shared_'s, once asked for
    std::vector<std::u16string> local_;            // by id - sharedCount_
    std::vector<uint8_t> localBuilt_;
    std::vector<StyleKind> styleKinds_;
    // Rendered numbers, direct-mapped by (value bits, style): a repeated
    // value (a date, a quantity) is rendered once, and a table of fixed size
    // costs no allocation per cell whatever the values are.
    struct NumberSlot {
        Key key{0, 0};
        bool used = false;
        std::u16string folded;
    };
    std::vector<NumberSlot> numbers_;
    std::unordered_map<Key, std::u16string, KeyHash> formattedTexts_;  // (string id, style)
    std::u16string scratch_;
};

}  // namespace automation::native
