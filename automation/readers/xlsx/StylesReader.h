// SPDX-License-Identifier: Apache-2.0
// The styles part: every cell format (cellXfs entry) becomes one entry of the
// workbook's StyleTable under the same number (xf 0 is the default format).
#pragma once

#include "automation/model/Style.h"
#include "automation/readers/xlsx/ThemeColors.h"
#include "automation/readers/xlsx/ZipArchive.h"

namespace automation::readers::xlsx {

// `colors` holds the theme already read; the part's own palette (if any)
// replaces the default one. Returns the number of cell formats in *xfCount.
ReadStatus readStyles(const ZipArchive &zip, const std::string &part, ColorContext colors, model::StyleTable *table,
                      uint32_t *xfCount, std::string *message);

}  // namespace automation::readers::xlsx
