// Cell values as every BIFF version stores them: RK numbers and error codes.
#pragma once

#include "automation/model/Cell.h"

#include <cstdint>

namespace automation::readers::xls {

// An RK value: a 30-bit integer or the top of a double, optionally over 100.
double decodeRk(uint32_t rk);

// A BOOLERR or cached formula error code; unknown codes read as #VALUE!.
model::CellError errorOf(uint8_t code);

}  // namespace automation::readers::xls
