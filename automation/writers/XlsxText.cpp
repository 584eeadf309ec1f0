// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/XlsxText.h"

#include "automation/model/Limits.h"
#include "automation/writers/TextLimits.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace automation::writers {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view kEscapedUnderscore = "_x005F";
constexpr size_t kEscapeLength = 7;  // "_xHHHH_"

// Length of the well-formed UTF-8 sequence at `pos`, or 0.
inline size_t sequenceLength(std::string_view s, size_t pos) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    if (c < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c == 0xE0) {
        length = 3;
        low = 0xA0;
    } else if (c == 0xED) {
        length = 3;
        high = 0x9F;
    }  // no UTF-16 surrogates
    else if (c >= 0xE1 && c <= 0xEF)
        length = 3;
    else if (c == 0xF0) {
        length = 4;
        low = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3)
        length = 4;
    else if (c == 0xF4) {
        length = 4;
        high = 0x8F;
    } else
        return 0;
    if (pos + length > s.size()) return 0;
    const unsigned char second = static_cast<unsigned char>(s[pos + 1]);
    if (second < low || second > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 0;
    return length;
}

bool isEscapeAt(std::string_view s, size_t pos) {
    if (pos + kEscapeLength > s.size() || s[pos] != '_' || s[pos + 1] != 'x' || s[pos + 6] != '_') return false;
    for (size_t i = 2; i < 6; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(s[pos + i]))) return false;
    return true;
}

bool hasEscapeLookalike(std::string_view s) {
    for (size_t pos = s.find("_x"); pos != std::string_view::npos; pos = s.find("_x", pos + 1))
        if (isEscapeAt(s, pos)) return true;
    return false;
}

void appendEscaped(std::string_view s, std::string &out) {
    out.clear();
    for (size_t pos = 0; pos < s.size(); ++pos) {
        if (isEscapeAt(s, pos)) out.append(kEscapedUnderscore);  // the '_' itself follows
        out.push_back(s[pos]);
    }
}

size_t codePoints(std::string_view s) {
    size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    constexpr uint64_t kHighBits = 0x8080808080808080u;
    const size_t size = text.size();
    for (size_t pos = 0; pos < size;) {
        // Runs of ASCII eight bytes at a time: a large save checks every text.
        uint64_t word;
        while (pos + sizeof word <= size && (std::memcpy(&word, text.data() + pos, sizeof word), !(word & kHighBits)))
            pos += sizeof word;
        if (pos == size) break;
        const size_t length = sequenceLength(text, pos);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = sequenceLength(text, pos);
        if (length == 0) {
            out.append(kReplacementCharacter);
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

std::string_view xlsxCellText(std::string_view text, std::string &scratch) {
    const bool valid = isValidUtf8(text);
    const bool lookalike = hasEscapeLookalike(text);
    if (valid && !lookalike && text.size() <= model::kMaxTextLength) return text;

    std::string logical = valid ? std::string(text) : validUtf8(text);
    logical.resize(utf8PrefixWithinUtf16Units(logical, model::kMaxTextLength));
    if (!hasEscapeLookalike(logical)) {
        scratch = std::move(logical);
        return scratch;
    }
    // The escapes count against the limit too: give up text until they fit.
    for (;;) {
        appendEscaped(logical, scratch);
        const size_t length = codePoints(scratch);
        if (length <= model::kMaxTextLength) return scratch;
        const size_t excess = length - model::kMaxTextLength;
        const size_t keep = codePoints(logical) > excess ? codePoints(logical) - excess : 0;
        logical.resize(utf8PrefixWithinUtf16Units(logical, keep));
    }
}

}  // namespace automation::writers
