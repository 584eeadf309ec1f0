// SPDX-License-Identifier: Apache-2.0
// The workbook writers. Each writes a temporary file in the target's folder and
// renames it over the target, so a target is never left half-written.
#pragma once

#include "automation/WriteResult.h"
#include "automation/model/KeptMarkup.h"
#include "automation/model/RowSpill.h"
#include "automation/model/WorkbookModel.h"

#include <string>

namespace automation::writers {

// Rows of one sheet kept outside the model, below all of the sheet's model
// rows; written after them. Reading them moves the spill's read position.
struct SheetTail {
    size_t sheetIndex = 0;
    model::RowSpill *rows = nullptr;
};

// Every sheet of `workbook` as .xlsx: values, formats, column widths, row
// heights, merged cells, and what `kept` holds of the file the workbook came
// from (matched by sheet name). A sheet past the format's size is a failed write.
WriteResult writeXlsx(const model::WorkbookModel &workbook, const std::string &path, const SheetTail *tail = nullptr,
                      const model::KeptMarkup *kept = nullptr);

// One sheet as CSV: comma separated, CRLF line ends, UTF-8 with a byte-order
// mark, values as displayed, every row of the sheet.
WriteResult writeCsv(const model::WorkbookModel &workbook, size_t sheetIndex, const std::string &path,
                     const SheetTail *tail = nullptr);

}  // namespace automation::writers
