// SPDX-License-Identifier: Apache-2.0
// One worksheet part (xl/worksheets/sheetN.xml), written row by row into a
// DeflatedPart: the model's rows, then the rows kept outside the model, with
// strings inline so nothing about the rows is held until the end but their
// merges.
#pragma once

#include "automation/WriteResult.h"
#include "automation/model/KeptMarkup.h"
#include "automation/model/RowSpill.h"
#include "automation/model/WorkbookModel.h"
#include "automation/writers/DeflatedPart.h"
#include "automation/writers/StylesPart.h"

#include <string>

namespace automation::writers {

// Fails with a reason when the rows outside the model could not be read back.
// `kept`, when given, adds the markup the sheet had in the file it came from.
WriteResult writeWorksheet(const model::WorkbookModel &workbook, const model::Sheet &sheet, model::RowSpill *tail,
                           bool selected, const model::KeptSheetMarkup *kept, StylesPart &styles, DeflatedPart &out);

// Merges the file can hold: inside the sheet, more than one cell, not
// overlapping an earlier one (the spreadsheet applications reject such files).
std::vector<model::CellArea> acceptedMerges(const model::Sheet &sheet);

}  // namespace automation::writers
