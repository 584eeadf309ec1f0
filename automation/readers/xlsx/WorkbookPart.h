// The workbook part: the sheets in their order and the date system.
#pragma once

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
    std::vector<SheetEntry> sheets;  // as listed, charts and all
};

ReadStatus readWorkbookPart(const ZipArchive &zip, const std::string &part, WorkbookInfo *out, std::string *message);

}  // namespace automation::readers::xlsx
