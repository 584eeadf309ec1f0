// SPDX-License-Identifier: Apache-2.0
// The small parts that tie a workbook package together: content types,
// relationships and the workbook part with its sheet list.
#pragma once

#include "automation/model/KeptMarkup.h"

#include <string>
#include <vector>

namespace automation::writers {

struct PackageSheet {
    std::string name;  // already valid for the format
    bool hidden = false;
    std::string modelName;  // as the model names it, for names defined on the sheet
};

std::string contentTypesXml(size_t sheetCount);
std::string packageRelationshipsXml();
std::string workbookRelationshipsXml(size_t sheetCount);
// activeSheet: the sheet shown when the file opens.
std::string workbookXml(const std::vector<PackageSheet> &sheets, size_t activeSheet, bool date1904,
                        const std::vector<model::KeptName> *names = nullptr);

// The part name of the n-th worksheet (0-based), without the leading '/'.
std::string worksheetPartName(size_t index);

}  // namespace automation::writers
