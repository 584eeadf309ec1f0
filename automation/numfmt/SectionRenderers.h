// SPDX-License-Identifier: Apache-2.0
// Rendering of one chosen section; the choice of section (and of the minus
// sign) is made by the caller.
#pragma once

#include "automation/numfmt/CompiledFormat.h"
#include "automation/numfmt/DecimalDigits.h"

#include <string>
#include <string_view>

namespace automation::numfmt {

// Appends a number section's display of `magnitude` (not negative); the
// minus sign first when `showMinus`.
void renderNumberSection(const Section &section, const DecimalDigits &magnitude, bool showMinus, std::string &out);

// Appends a date or time section's display of the serial `value`; false when
// the value is no date (negative or past 9999-12-31).
bool renderDateSection(const Section &section, double value, bool date1904, std::string &out);

// Appends a section's literals with `text` in place of @ (and of General,
// which in a text section shows the text too).
void renderTextSection(const Section &section, std::string_view text, std::string &out);

}  // namespace automation::numfmt
