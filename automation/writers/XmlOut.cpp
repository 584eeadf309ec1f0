// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/XmlOut.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace automation::writers::xmlout {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// 1: needs an entity or an escape in element text; 2: also in an attribute.
constexpr uint8_t kText = 1;
constexpr uint8_t kAttribute = 2;

struct EscapeTable {
    uint8_t flags[256] = {};
    constexpr EscapeTable() {
        for (int c = 0; c < 0x20; ++c) flags[c] = kText | kAttribute;
        flags[static_cast<unsigned char>('\t')] = kAttribute;
        flags[static_cast<unsigned char>('\n')] = kAttribute;
        flags[static_cast<unsigned char>('&')] = kText | kAttribute;
        flags[static_cast<unsigned char>('<')] = kText | kAttribute;
        flags[static_cast<unsigned char>('>')] = kText | kAttribute;
        flags[static_cast<unsigned char>('"')] = kAttribute;
        flags[0xEF] = kText | kAttribute;  // may start U+FFFE or U+FFFF
    }
};
constexpr EscapeTable kEscapes;

void appendCodeEscape(std::string &out, char32_t code) {
    const char escape[] = {
        '_', 'x', kHex[(code >> 12) & 15], kHex[(code >> 8) & 15], kHex[(code >> 4) & 15], kHex[code & 15], '_'};
    out.append(escape, sizeof escape);
}

void appendEscaped(std::string &out, std::string_view text, uint8_t mask) {
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!(kEscapes.flags[c] & mask)) continue;
        if (c == 0xEF) {
            const char32_t nonCharacter = nonCharacterAt(text, i);
            if (!nonCharacter) continue;
            out.append(text.data() + plainFrom, i - plainFrom);
            plainFrom = i + 3;
            if (mask == kText) appendCodeEscape(out, nonCharacter);
            continue;
        }
        out.append(text.data() + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            case '\t':
                out.append("&#9;");
                break;
            case '\n':
                out.append("&#10;");
                break;
            case '\r':
                if (mask == kAttribute) {
                    out.append("&#13;");
                    break;
                }
                [[fallthrough]];
            default: {  // a control character: element text has a form for it, an attribute none
                if (mask == kAttribute) break;
                appendCodeEscape(out, c);
            }
        }
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
}

}  // namespace

char32_t nonCharacterAt(std::string_view text, size_t i) {
    if (i + 2 >= text.size() || static_cast<unsigned char>(text[i]) != 0xEF ||
        static_cast<unsigned char>(text[i + 1]) != 0xBF)
        return 0;
    const unsigned char last = static_cast<unsigned char>(text[i + 2]);
    return last == 0xBE ? 0xFFFE : last == 0xBF ? 0xFFFF : 0;
}

void appendText(std::string &out, std::string_view text) { appendEscaped(out, text, kText); }

void appendAttribute(std::string &out, std::string_view text) { appendEscaped(out, text, kAttribute); }

void appendNumber(std::string &out, double value) {
    char digits[32];
    // Most cells hold whole numbers (quantities, dates, codes), which the
    // integer conversion writes several times faster. With fewer than five
    // trailing zeros the shortest form of such a number is its plain digits,
    // exactly as the general conversion writes them; from five on the
    // exponent form may be shorter, and that is left to it. -0 keeps its sign.
    constexpr double kExactIntegers = 1e15;
    if (value > -kExactIntegers && value < kExactIntegers && value == std::trunc(value) &&
        (value != 0 || !std::signbit(value))) {
        const auto whole = static_cast<int64_t>(value);
        if (whole % 100000 != 0 || whole == 0) {
            out.append(digits, std::to_chars(digits, digits + sizeof digits, whole).ptr);
            return;
        }
    }
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendUnsigned(std::string &out, uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

char *putColumnLetters(char *at, uint32_t column) {
    char letters[8];
    size_t n = 0;
    while (column > 0 && n < 7) {
        --column;
        letters[n++] = static_cast<char>('A' + column % 26);
        column /= 26;
    }
    while (n > 0) *at++ = letters[--n];
    return at;
}

void appendColumnLetters(std::string &out, uint32_t column) {
    char letters[8];
    out.append(letters, static_cast<size_t>(putColumnLetters(letters, column) - letters));
}

void appendCellReference(std::string &out, uint32_t row, uint32_t column) {
    appendColumnLetters(out, column);
    appendUnsigned(out, row);
}

bool needsSpacePreserved(std::string_view text) {
    if (text.empty()) return false;
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return space(text.front()) || space(text.back());
}

}  // namespace automation::writers::xmlout
