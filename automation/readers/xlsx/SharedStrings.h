// SPDX-License-Identifier: Apache-2.0
// The shared-strings part: each <si> becomes one string of the pool, keeping
// the file's numbering (the n-th item is pool index n).
#pragma once

#include "automation/model/StringPool.h"
#include "automation/readers/xlsx/ZipArchive.h"

namespace automation::readers::xlsx {

// Rich-text runs are joined to plain text; phonetic runs are left out.
ReadStatus readSharedStrings(const ZipArchive &zip, const std::string &part, model::StringPool *pool,
                             std::string *message);

}  // namespace automation::readers::xlsx
