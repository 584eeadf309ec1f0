// SPDX-License-Identifier: Apache-2.0
// "Copy" of a block of cells, with contents and formats, possibly into
// another workbook: texts and formats are re-entered in the destination's
// string pool and style table.
#pragma once

#include "automation/native/WorkbookState.h"

namespace automation::native {

// Copies `area` of the source sheet so that its top-left cell lands on
// (destRow, destColumn) of the destination sheet. A block of whole rows
// replaces whole destination rows (heights and row formats included) and must
// land in column 1; a block of whole columns must land in row 1. False when
// a sheet is missing or the block would not fit.
bool copyArea(WorkbookState &source, uint32_t sourceSheetUid, const model::CellArea &area, WorkbookState &dest,
              uint32_t destSheetUid, uint32_t destRow, uint32_t destColumn);

}  // namespace automation::native
