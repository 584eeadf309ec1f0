// SPDX-License-Identifier: Apache-2.0
// Worksheet names an .xlsx file accepts, made from the model's names.
#pragma once

#include "automation/model/WorkbookModel.h"

#include <string>
#include <vector>

namespace automation::writers {

// One name per sheet, in order: characters the format forbids ([]:*?/\)
// replaced by '_', apostrophes at either end dropped, cut to the length limit,
// an empty name replaced by "SheetN", and names made unique ignoring case by
// a " (2)"-style suffix. Valid names are kept unchanged.
std::vector<std::string> xlsxSheetNames(const model::WorkbookModel &workbook);

}  // namespace automation::writers
