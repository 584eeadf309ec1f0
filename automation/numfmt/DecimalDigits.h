// SPDX-License-Identifier: Apache-2.0
// A double taken to the 15 significant decimal digits the spreadsheet
// application keeps, as a digit string, so that rounding for display is done
// in decimal (2.675 shows as 2.68) rather than on the binary value.
#pragma once

#include <string>

namespace automation::numfmt {

constexpr int kSignificantDigits = 15;

struct DecimalDigits {
    char digits[kSignificantDigits + 2] = {};  // significant digits, no trailing zeros
    int count = 0;                             // 0 means the value is zero
    int pointPos = 0;                          // digits before the decimal point (may be <= 0)
    bool negative = false;

    bool isZero() const { return count == 0; }
    // The digit at a position counted from the decimal point: 0 is the units
    // digit, 1 the tens, -1 the tenths. Zero outside the significant digits.
    int digitAt(int placeFromPoint) const;
};

// The decimal form of a finite double; NaN and infinities give zero.
DecimalDigits toDecimal(double value);

// Rounds half away from zero to `fractionDigits` places after the point.
// The result may become zero or gain a leading digit.
DecimalDigits roundToPlaces(const DecimalDigits &value, int fractionDigits);

// Rounds to `significant` significant digits (at least one).
DecimalDigits roundToSignificant(const DecimalDigits &value, int significant);

// Moves the decimal point: times 10^shift.
inline DecimalDigits shiftPoint(DecimalDigits value, int shift) {
    if (!value.isZero()) value.pointPos += shift;
    return value;
}

// The integer digits (no leading zeros; empty for a value below one) and the
// `fractionDigits` digits after the point, appended to the two strings.
void splitDigits(const DecimalDigits &value, int fractionDigits, std::string &integerPart, std::string &fractionPart);

// The value as a double again (for date serials and comparisons).
double toDouble(const DecimalDigits &value);

}  // namespace automation::numfmt
