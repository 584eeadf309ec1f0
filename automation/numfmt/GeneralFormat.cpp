// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/GeneralFormat.h"

#include "automation/numfmt/NumberFormat.h"

#include <cmath>

namespace automation::numfmt {

namespace {

void appendFixed(const DecimalDigits &rounded, std::string &out) {
    std::string integerPart;
    std::string fractionPart;
    const int fractionDigits = rounded.count > rounded.pointPos ? rounded.count - rounded.pointPos : 0;
    splitDigits(rounded, fractionDigits, integerPart, fractionPart);
    out += integerPart.empty() ? "0" : integerPart;
    if (!fractionPart.empty()) {
        out.push_back('.');
        out += fractionPart;
    }
}

void appendExponent(const DecimalDigits &value, std::string &out) {
    const int exponent = value.pointPos - 1;
    // A three-digit exponent costs one mantissa digit to stay within the width.
    const int significant = std::abs(exponent) >= 100 ? kGeneralExponentDigits - 1 : kGeneralExponentDigits;
    DecimalDigits mantissa = roundToSignificant(value, significant);
    const int shownExponent = mantissa.pointPos - 1;
    out.push_back(mantissa.digits[0]);
    if (mantissa.count > 1) {
        out.push_back('.');
        out.append(mantissa.digits + 1, static_cast<size_t>(mantissa.count - 1));
    }
    out.push_back('E');
    out.push_back(shownExponent < 0 ? '-' : '+');
    const int magnitude = std::abs(shownExponent);
    if (magnitude < 10) out.push_back('0');
    out += std::to_string(magnitude);
}

}  // namespace

void appendGeneralMagnitude(const DecimalDigits &value, std::string &out) {
    if (value.isZero()) {
        out.push_back('0');
        return;
    }
    const int exponent = value.pointPos - 1;
    if (exponent < kGeneralWidth) {
        // Places left after the integer digits and the decimal point.
        const int integerDigits = value.pointPos > 0 ? value.pointPos : 1;
        const int places = kGeneralWidth - integerDigits - 1;
        const DecimalDigits rounded = roundToPlaces(value, places > 0 ? places : 0);
        // Below one the decimal form spends places on leading zeros; it is
        // kept while it shows as many digits as the exponent form would
        // (0.000000012 and 0.000123457, but 1.23457E-05).
        const int exponentFormDigits = roundToSignificant(value, kGeneralExponentDigits).count;
        const bool keepsDigits = exponent >= 0 || rounded.count >= exponentFormDigits;
        if (!rounded.isZero() && rounded.pointPos <= kGeneralWidth && keepsDigits) {
            appendFixed(rounded, out);
            return;
        }
    }
    appendExponent(value, out);
}

std::string formatGeneral(double value) {
    if (!std::isfinite(value)) return kNumberErrorText;
    const DecimalDigits decimal = toDecimal(value);
    std::string out;
    if (decimal.negative) out.push_back('-');
    appendGeneralMagnitude(decimal, out);
    return out;
}

}  // namespace automation::numfmt
