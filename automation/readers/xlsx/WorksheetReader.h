// SPDX-License-Identifier: Apache-2.0
// One worksheet part streamed into a model Sheet: cells with their cached
// values and formats, row heights, column widths and merged areas.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/model/StringPool.h"
#include "automation/model/WorkbookModel.h"
#include "automation/readers/RowFilter.h"
#include "automation/readers/xlsx/FormulaCells.h"
#include "automation/readers/xlsx/ZipArchive.h"

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

// With a filter in `context`, `outline` (required then) tells what the whole sheet held.
ReadStatus readWorksheet(const ZipArchive &zip, const std::string &part, const WorksheetContext &context,
                         model::Sheet *sheet, std::string *message, SheetOutline *outline = nullptr);

// Keeps of a sheet read whole what `context.filter` reaches, as a filtered
// read would have; `outline` tells what the whole sheet held.
void keepReachedRows(const WorksheetContext &context, model::Sheet *sheet, SheetOutline *outline);

// A worksheet part already in memory, through the in-place scanner alone (no
// package around it, no expat fallback): Unsupported when the scanner does not
// take the part. data[size] must exist; the whole buffer is overwritten. Lets
// the fuzz targets drive the scanner and the worksheet handler directly.
ReadStatus scanWorksheetInPlace(char *data, size_t size, const WorksheetContext &context, model::Sheet *sheet,
                                std::string *message);

// An ISO 8601 date-time ("2024-03-01", "2024-03-01T08:30:00Z") as a serial
// number of the given date system; false when the text is no such date.
bool isoDateToSerial(const char *text, bool date1904, double *serial);

}  // namespace automation::readers::xlsx
