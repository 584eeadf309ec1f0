// SPDX-License-Identifier: Apache-2.0
// What a byte of a package part's XML is, for the scanner and the readers
// of raw markup alike: one table, so both take the same bytes for white
// space and names.
#pragma once

#include <cstdint>

namespace automation::readers::xlsx::xmlbytes {

enum : uint8_t {
    kSpace = 1,
    kNameStart = 2,  // ASCII only: beyond it each reader judges for itself
    kNameInner = 4,
};

struct ByteClasses {
    uint8_t bits[256] = {};
    constexpr ByteClasses() {
        for (int c = 0; c < 128; ++c) {
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            const bool start = letter || c == '_' || c == ':';
            const bool inner = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
            const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            bits[c] = static_cast<uint8_t>((space ? kSpace : 0) | (start ? kNameStart : 0) | (inner ? kNameInner : 0));
        }
    }
};
inline constexpr ByteClasses kClasses;

inline bool is(char c, uint8_t classes) { return (kClasses.bits[static_cast<unsigned char>(c)] & classes) != 0; }
inline bool isSpace(char c) { return is(c, kSpace); }
inline bool nameStart(char c) { return is(c, kNameStart); }
inline bool nameInner(char c) { return is(c, kNameInner); }

}  // namespace automation::readers::xlsx::xmlbytes
