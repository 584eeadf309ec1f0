// SPDX-License-Identifier: Apache-2.0
// Limits of the workbook file formats that the model and its writers respect.
#pragma once

#include <cstdint>

namespace automation::model {

constexpr uint32_t kMaxRows = 1048576;  // rows of an .xlsx worksheet
// Rows a sheet in memory may reach: a job's results can pass the .xlsx grid
// and are then saved as CSV, every row of them.
constexpr uint32_t kMaxAppendRows = 0x7FFFFFFE;
constexpr uint32_t kMaxColumns = 16384;     // columns of an .xlsx worksheet (XFD)
constexpr uint32_t kMaxTextLength = 32767;  // characters of one cell's text
constexpr uint32_t kMaxSheetNameLength = 31;

}  // namespace automation::model
