// SPDX-License-Identifier: Apache-2.0
// The text folding behind Find: case-insensitive, and full-width forms of
// letters, digits and punctuation equal to their half-width ones, as the
// spreadsheet applications compare when searching.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace automation::search {

constexpr char16_t kFullWidthFirst = 0xFF01;   // full-width '!'
constexpr char16_t kFullWidthLast = 0xFF5E;    // full-width '~'
constexpr char16_t kFullWidthOffset = 0xFEE0;  // full-width minus ASCII
constexpr char16_t kIdeographicSpace = 0x3000;

// One UTF-16 unit with its width folded (no case folding).
inline char16_t foldWidth(char16_t c) {
    if (c >= kFullWidthFirst && c <= kFullWidthLast) return static_cast<char16_t>(c - kFullWidthOffset);
    if (c == kIdeographicSpace) return u' ';
    return c;
}

// Width-folded and case-folded UTF-16.
std::u16string foldText(std::string_view utf8);
std::u16string foldText(const QString &text);

}  // namespace automation::search
