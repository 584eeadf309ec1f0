// SPDX-License-Identifier: Apache-2.0
// The "General" display, shared by the public entry point and by sections
// that hold the word General.
#pragma once

#include "automation/numfmt/DecimalDigits.h"

#include <string>

namespace automation::numfmt {

// Width of a General cell display, the decimal point counting, the sign not.
constexpr int kGeneralWidth = 11;
// Significant digits of the mantissa in General's exponent form.
constexpr int kGeneralExponentDigits = 6;
// Text shown for values the spreadsheet application cannot hold (NaN, infinities).
constexpr const char *kNumberErrorText = "#NUM!";

// Appends the General display of the magnitude of `value` (no sign).
void appendGeneralMagnitude(const DecimalDigits &value, std::string &out);

}  // namespace automation::numfmt
