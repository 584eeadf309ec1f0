// SPDX-License-Identifier: Apache-2.0
// How a cell's value is read from its text: one conversion for the fast path,
// which reads the text where it lies in the part, and for the events, which
// gather it first; so both give the same cell for the same markup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace automation::readers::xlsx {

// A cell's `t` attribute: "s" shared string, "str" formula text, "inlineStr",
// "b", "e", "d" (ISO date); absent or anything else a number.
enum class ValueKind : uint8_t { Number, Shared, FormulaString, Inline, Boolean, Error, IsoDate };
ValueKind kindOf(const char *t);

// A value that needs no trimming: not empty, no white space at either end.
inline bool plainValue(std::string_view v) {
    auto space = [](char ch) { return ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t'; };
    return !v.empty() && !space(v.front()) && !space(v.back());
}

// Both below run once a cell: inline, so the common case costs no call.

// Any number XML writes, white space around it allowed; false when it is none.
bool numberFromXmlText(std::string_view text, double *out);

// The number a value of kind Number holds ("379", "4.5E-3", white space
// around it allowed); false when the text is no number.
inline bool numberFromText(std::string_view text, double *out) {
    // "379", "-12.5", "3791.38": the common case, without the general
    // reading's machinery. Up to 15 digits the digits are a double exactly,
    // and so is a power of ten up to 10^22: their quotient is the correctly
    // rounded value, the same double the general reading gives.
    constexpr size_t kMaxExactDigits = 15;
    constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() > sign && text.size() <= kMaxExactDigits + sign + 1) {
        uint64_t n = 0;
        size_t i = sign, digits = 0, point = 0;
        for (; i < text.size(); ++i) {
            const char ch = text[i];
            if (ch >= '0' && ch <= '9') {
                n = n * 10 + static_cast<uint64_t>(ch - '0');
                ++digits;
            } else if (ch == '.' && !point && i > sign && i + 1 < text.size()) {
                point = i;
            } else {
                break;
            }
        }
        if (i == text.size() && digits <= kMaxExactDigits) {
            double v = static_cast<double>(n);
            if (point) v /= kPowersOfTen[text.size() - point - 1];
            *out = sign ? -v : v;
            return true;
        }
    }
    return numberFromXmlText(text, out);
}

// The shared-string index a value of kind Shared holds: its leading digits;
// UINT32_MAX when it starts with none or they overflow.
inline uint32_t sharedIndexFromText(std::string_view text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return UINT32_MAX;
    uint64_t v = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') break;
        v = v * 10 + static_cast<uint64_t>(ch - '0');
        if (v > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(v);
}

// An ISO 8601 date-time ("2024-03-01", "2024-03-01T08:30:00Z") as a serial
// number of the given date system; false when the text is no such date.
bool isoDateToSerial(const char *text, bool date1904, double *serial);

}  // namespace automation::readers::xlsx
