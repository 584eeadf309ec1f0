// SPDX-License-Identifier: Apache-2.0
// Told before the sheets are read what a job can reach, a reader keeps only
// that: the rows in which some cell can match, the row of the used area's
// first cell, and a column kept whole. The rest of a sheet is dropped as it
// is read, so a sheet without a match is never held.
#pragma once

#include "automation/model/WorkbookModel.h"

#include <cstdint>
#include <vector>

namespace automation::readers {

// What a sheet held before the reader dropped rows from it.
struct SheetOutline {
    bool hasUsed = false;
    model::CellArea used;
    std::vector<uint32_t> keptRows;  // ascending: rows kept whole
};

class RowFilter {
public:
    virtual ~RowFilter() = default;
    // Once the workbook's strings, styles and date system are read, before its first sheet.
    virtual void prepare(const model::WorkbookModel &workbook) = 0;
    // Whether a cell holding a value can be found by one of the searches.
    virtual bool canMatch(const model::WorkbookModel &workbook, const model::Cell &cell) = 0;
    // A column kept whole (its cells in every row); 0 for none.
    virtual uint32_t keptColumn() const = 0;
};

}  // namespace automation::readers
