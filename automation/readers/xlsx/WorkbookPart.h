// SPDX-License-Identifier: Apache-2.0
// The workbook part: the sheets in their order, the date system, the names
// it defines and whether it asks for a full calculation on load.
#pragma once

#include "automation/readers/xlsx/FormulaCells.h"
#include "automation/readers/xlsx/ZipArchive.h"

#include <string>
#include <vector>

namespace automation::readers::xlsx {

struct SheetEntry {
    std::string name;
    std::string relationshipId;
    bool hidden = false;  // hidden or very hidden
};

struct WorkbookInfo {
    bool date1904 = false;
    bool fullCalcOnLoad = false;     // stored formula results are placeholders
    std::vector<SheetEntry> sheets;  // as listed, charts and all
    std::vector<DefinedName> names;
};

ReadStatus readWorkbookPart(const ZipArchive &zip, const std::string &part, WorkbookInfo *out, std::string *message);

}  // namespace automation::readers::xlsx
