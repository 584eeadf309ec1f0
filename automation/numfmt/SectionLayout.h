// SPDX-License-Identifier: Apache-2.0
// The second pass over a tokenized section: what each comma and placeholder
// means once its neighbours are known, and whether m means minutes.
#pragma once

#include "automation/numfmt/CompiledFormat.h"

namespace automation::numfmt {

// Resolves commas (grouping, scaling or text), % scaling and the digit
// groups (integer, fraction, exponent, whole, numerator, denominator).
void layoutNumberSection(Section &section);

// Turns m/mm next to hours or seconds into minutes; notes 12-hour display
// and the fraction-of-second digits.
void layoutDateSection(Section &section);

}  // namespace automation::numfmt
