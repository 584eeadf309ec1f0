// SPDX-License-Identifier: Apache-2.0
// Cell values as every BIFF version stores them: RK numbers and error codes.
#pragma once

#include "automation/model/Cell.h"

#include <cstdint>

namespace automation::readers::xls {

// An RK value: a 30-bit integer or the top of a double, optionally over 100.
double decodeRk(uint32_t rk);

// A BOOLERR or cached formula error code; unknown codes read as #VALUE!.
model::CellError errorOf(uint8_t code);

// The cell a FORMULA record's eight result bytes stand for: a number, a
// boolean, an error, an empty text, or nothing. `textFollows` is set when the
// result is a text that the next STRING record carries; the cell is then an
// empty text (`emptyString`) until it comes.
model::Cell formulaResult(const uint8_t *value, uint32_t style, uint32_t emptyString, bool *textFollows);

}  // namespace automation::readers::xls
