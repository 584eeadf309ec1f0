// SPDX-License-Identifier: Apache-2.0
// The formulas of a workbook as its parts write them, kept when the workbook
// is to be evaluated after reading (FormulaEvaluation.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace automation::readers::xlsx {

enum class FormulaKind : uint8_t { Normal, Shared, Array, Other };

struct FormulaCell {
    uint32_t row = 0, column = 0;  // 1-based
    uint32_t style = 0;
    FormulaKind kind = FormulaKind::Normal;
    uint32_t sharedIndex = 0;  // `si` of a shared formula
    bool hasValue = false;     // the file stored a result
    std::string text;          // empty in the cells that share another's formula
};

// One per sheet kept in the model, in the model's order.
using SheetFormulas = std::vector<FormulaCell>;

// What the worksheets of one workbook hold of formulas, up to a bound.
struct WorkbookFormulas {
    static constexpr size_t kMaxCells = 1000000;  // past this, none is evaluated
    // The engine holds a copy of every cell: past this many in the workbook, none is evaluated.
    static constexpr size_t kMaxWorkbookCells = 5000000;
    static constexpr size_t kMaxTextBytes = 32768;  // 8192 characters of UTF-8, and room
    std::vector<SheetFormulas> sheets;
    size_t count = 0;
    bool overflow = false;                // more formula cells than kMaxCells
    size_t uncollectedNeedingResult = 0;  // of those past the bound, the ones without a usable result
};

struct DefinedName {
    std::string name;
    int localSheet = -1;  // index into the workbook part's sheet list; -1 for the whole workbook
    std::string formula;
};

}  // namespace automation::readers::xlsx
