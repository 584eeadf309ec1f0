// SPDX-License-Identifier: Apache-2.0
// Formulas whose results the file does not hold (or holds as placeholders,
// when the workbook asks for a full calculation on load) are evaluated with
// libixion after the workbook is read whole, and their results put into the
// cells as stored results would have been.
#pragma once

#include "automation/model/WorkbookModel.h"
#include "automation/readers/xlsx/FormulaCells.h"

#include <string>
#include <vector>

namespace automation::readers::xlsx {

struct FormulaSource {
    const WorkbookFormulas *formulas = nullptr;  // one entry per sheet of the model
    const std::vector<DefinedName> *names = nullptr;
    const std::vector<std::string> *listedSheets = nullptr;  // the workbook part's list, for local names
    bool fullCalcOnLoad = false;
};

// Evaluates on the calling thread alone. Cells with a usable stored result
// are never evaluated. Returns how many cells needed a result and got none
// (a function the engine lacks, an external reference, an array formula, a
// volatile function, or what depends on such a cell): they keep what the file
// stored. Never throws.
uint32_t evaluateFormulas(model::WorkbookModel &workbook, const FormulaSource &source);

}  // namespace automation::readers::xlsx
