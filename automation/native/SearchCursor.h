// Where the last Find on a sheet stopped, so that the engine's loop "find,
// copy, empty the found cell, find again from the same start" resumes after
// the last hit instead of scanning the sheet from its start each time.
#pragma once

#include "automation/model/Sheet.h"

#include <QString>
#include <cstdint>

namespace automation::native {

struct SearchCursor {
    // The question the cursor answers.
    QString what;
    int lookAt = 0;
    model::CellArea range;
    bool afterInside = false;
    uint64_t afterIndex = 0;

    // The scan goes round the range from `startIndex` (row-major cell index);
    // `nextStep` cells of that round are settled: none of them matches.
    uint64_t startIndex = 0;
    uint64_t nextStep = 0;
    bool exhausted = false;

    // The last cell returned, and the sheet's version when it was returned.
    uint32_t hitRow = 0, hitColumn = 0;
    bool hasHit = false;
    uint64_t version = 0;
    // True while the sheet is as the cursor left it (the hit emptied, nothing else).
    bool resumable = false;

    bool sameQuestion(const QString &w, int l, const model::CellArea &r, bool inside, uint64_t after) const {
        return lookAt == l && range == r && afterInside == inside && (!inside || afterIndex == after) && what == w;
    }
};

}  // namespace automation::native
