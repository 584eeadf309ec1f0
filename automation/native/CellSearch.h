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

// The first matching cell in search order, or false. Resumes from the sheet's
// cursor when the same question follows the emptying of the last answer.
bool findCell(WorkbookState &state, int sheetIndex, const FindQuery &query, CellPosition *found);

// To be called after the cell at (row, column) lost its value through
// "SetValue" with an empty text: lets the cursor resume when it was the last
// answer. `versionBefore` is the sheet's version before the emptying.
void noteCellEmptied(WorkbookState &state, uint32_t sheetUid, uint32_t row, uint32_t column, uint64_t versionBefore,
                     uint64_t versionAfter);

}  // namespace automation::native
