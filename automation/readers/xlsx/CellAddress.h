// SPDX-License-Identifier: Apache-2.0
// A1-style cell references as SpreadsheetML writes them, parsed without
// overflow whatever their length.
#pragma once

#include "automation/model/Sheet.h"

#include <cstdint>

namespace automation::readers::xlsx {

enum class AddressParse { Ok, Malformed, OutOfRange };

// "B7", "$B$7" -> row 7, column 2. The whole text must be the reference.
AddressParse parseCellAddress(const char *text, uint32_t *row, uint32_t *column);
// Same, for a reference that ends at `end` (exclusive).
AddressParse parseCellAddress(const char *text, const char *end, uint32_t *row, uint32_t *column);

// "A1:C3" or a single cell "B2" (a one-cell area).
AddressParse parseCellArea(const char *text, model::CellArea *area);

// 1-based row or column number in decimal, within [1, limit].
AddressParse parseIndex(const char *text, uint32_t limit, uint32_t *out);

}  // namespace automation::readers::xlsx
