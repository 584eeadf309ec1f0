// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/DecimalDigits.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace automation::numfmt {

namespace {

// Whole numbers below this have at most 15 digits and convert exactly.
constexpr double kExactIntegerLimit = 1e15;

void trimTrailingZeros(DecimalDigits &value) {
    while (value.count > 0 && value.digits[value.count - 1] == '0') --value.count;
    value.digits[value.count] = '\0';
    if (value.count == 0) {
        value.pointPos = 0;
        value.negative = false;
    }
}

// Keeps the first `keep` digits, rounding half up on the next one.
DecimalDigits roundAtIndex(const DecimalDigits &value, int keep) {
    if (value.isZero() || keep >= value.count) return value;
    DecimalDigits result = value;
    if (keep < 0) {
        result.count = 0;
        trimTrailingZeros(result);
        return result;
    }
    const bool roundUp = value.digits[keep] >= '5';
    result.count = keep;
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && result.digits[i] == '9') {
            result.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++result.digits[i];
        } else {
            // All nines carried over: the value gains a leading one.
            std::memmove(result.digits + 1, result.digits, static_cast<size_t>(keep));
            result.digits[0] = '1';
            result.count = keep + 1;
            result.pointPos += 1;
        }
    }
    trimTrailingZeros(result);
    return result;
}

// Reads "d.ddde[+-]xx" (to_chars scientific output) into `result`.
void readScientific(const char *text, const char *end, DecimalDigits &result) {
    int count = 0;
    const char *p = text;
    for (; p < end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && count < kSignificantDigits + 1) result.digits[count++] = *p;
    }
    int exponent = 0;
    if (p < end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    result.count = count;
    result.pointPos = exponent + 1;
}

}  // namespace

int DecimalDigits::digitAt(int placeFromPoint) const {
    const int index = pointPos - 1 - placeFromPoint;
    if (index < 0 || index >= count) return 0;
    return digits[index] - '0';
}

DecimalDigits toDecimal(double value) {
    DecimalDigits result;
    if (!std::isfinite(value) || value == 0.0) return result;
    const double magnitude = std::fabs(value);
    result.negative = value < 0;
    if (magnitude < kExactIntegerLimit && magnitude == std::floor(magnitude)) {
        // Whole numbers (ids, dates, counts) need no rounding.
        const auto converted =
            std::to_chars(result.digits, result.digits + kSignificantDigits + 1, static_cast<uint64_t>(magnitude));
        const int length = static_cast<int>(converted.ptr - result.digits);
        result.count = length;
        result.pointPos = length;
        trimTrailingZeros(result);
        return result;
    }
    char buffer[40];
    const auto converted =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, kSignificantDigits - 1);
    readScientific(buffer, converted.ptr, result);
    trimTrailingZeros(result);
    return result;
}

DecimalDigits roundToPlaces(const DecimalDigits &value, int fractionDigits) {
    return roundAtIndex(value, value.pointPos + fractionDigits);
}

DecimalDigits roundToSignificant(const DecimalDigits &value, int significant) {
    return roundAtIndex(value, significant < 1 ? 1 : significant);
}

void splitDigits(const DecimalDigits &value, int fractionDigits, std::string &integerPart, std::string &fractionPart) {
    for (int place = value.pointPos - 1; place >= 0; --place)
        integerPart.push_back(static_cast<char>('0' + value.digitAt(place)));
    for (int place = -1; place >= -fractionDigits; --place)
        fractionPart.push_back(static_cast<char>('0' + value.digitAt(place)));
}

double toDouble(const DecimalDigits &value) {
    if (value.isZero()) return 0.0;
    char buffer[48];
    char *p = buffer;
    if (value.negative) *p++ = '-';
    for (int i = 0; i < value.count; ++i) *p++ = value.digits[i];
    *p++ = 'e';
    p = std::to_chars(p, buffer + sizeof buffer, value.pointPos - value.count).ptr;
    double result = 0.0;
    std::from_chars(buffer, p, result);
    return result;
}

}  // namespace automation::numfmt
