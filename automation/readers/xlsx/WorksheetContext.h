// SPDX-License-Identifier: Apache-2.0
// What the reading of one worksheet part needs from its workbook.
#pragma once

#include "automation/model/StringPool.h"
#include "automation/model/WorkbookModel.h"
#include "automation/readers/RowFilter.h"
#include "automation/readers/xlsx/FormulaCells.h"

#include <cstdint>

namespace automation::readers::xlsx {

struct WorksheetContext {
    model::StringPool *strings = nullptr;            // shared strings first; inline texts are appended
    uint32_t sharedStringCount = 0;                  // indexes at or past this are corrupt
    uint32_t styleCount = 0;                         // cell formats in the file; others fall back to 0
    bool date1904 = false;                           // for ISO date cells
    RowFilter *filter = nullptr;                     // when set, only the rows it reaches are kept
    const model::WorkbookModel *workbook = nullptr;  // whose strings and styles the filter judges by
    bool fullCalcOnLoad = false;                     // stored formula results are placeholders
    bool *formulasNeedEvaluation = nullptr;          // when set, becomes true at a formula without a usable result
    WorkbookFormulas *formulas = nullptr;            // when set, the sheet's formulas go to its last sheet entry
};

}  // namespace automation::readers::xlsx
