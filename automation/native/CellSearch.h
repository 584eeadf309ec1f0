// SPDX-License-Identifier: Apache-2.0
// Find over a block of one sheet: row by row, left to right, starting after a
// given cell and wrapping round to it, as the spreadsheet applications search.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/native/WorkbookState.h"

#include <QString>
#include <cstdint>

namespace automation::native {

struct FindQuery {
    QString what;
    int lookAt = 0;  // kLookAtWhole or kLookAtPart
    model::CellArea range;
    bool afterInside = false;  // false: search the whole range from its first cell
    uint32_t afterRow = 0, afterColumn = 0;
};

struct CellPosition {
    uint32_t row = 0, column = 0;
};

// The first matching cell in search order, or false.
bool findCell(WorkbookState &state, int sheetIndex, const FindQuery &query, CellPosition *found);

}  // namespace automation::native
