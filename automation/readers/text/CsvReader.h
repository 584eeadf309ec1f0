// SPDX-License-Identifier: Apache-2.0
// Delimited text (RFC 4180 quoting, any line ending) parsed into one sheet.
#pragma once

#include "automation/model/Sheet.h"
#include "automation/model/StringPool.h"
#include "automation/readers/ReadResult.h"

#include <string>
#include <string_view>

namespace automation::readers::text {

// No text file larger than this is read: the model would not fit in memory.
constexpr uint64_t kMaxTextFileBytes = 1ull << 30;

// Parses UTF-8 text into `sheet`. Fields that are numbers exactly as the
// application would display them become numbers; everything else stays text.
ReadStatus parseDelimited(std::string_view text, char separator, model::Sheet *sheet, model::StringPool *strings,
                          std::string *message);

// True (and *value set) when `field` is a number whose General display is `field` itself.
bool fieldAsNumber(std::string_view field, double *value);

}  // namespace automation::readers::text
