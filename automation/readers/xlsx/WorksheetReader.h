// SPDX-License-Identifier: Apache-2.0
// One worksheet part streamed into a model Sheet: cells with their cached
// values and formats, row heights, column widths and merged areas.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/readers/xlsx/WorksheetContext.h"
#include "automation/readers/xlsx/ZipArchive.h"

namespace automation::readers::xlsx {

// With a filter in `context`, `outline` (required then) tells what the whole sheet held.
ReadStatus readWorksheet(const ZipArchive &zip, const std::string &part, const WorksheetContext &context,
                         model::Sheet *sheet, std::string *message, SheetOutline *outline = nullptr);

// A worksheet part already in memory, through the in-place scanner alone (no
// package around it, no expat fallback): Unsupported when the scanner does not
// take the part. data[size] must exist; the whole buffer is overwritten. Lets
// the fuzz targets drive the scanner and the worksheet handler directly.
ReadStatus scanWorksheetInPlace(char *data, size_t size, const WorksheetContext &context, model::Sheet *sheet,
                                std::string *message);

}  // namespace automation::readers::xlsx
