// SPDX-License-Identifier: Apache-2.0
// Cutting UTF-8 text to a limit the spreadsheet formats count in UTF-16
// units, without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

namespace automation::writers {

// The byte length of the longest prefix of `text` (UTF-8) that spans at most
// `maxUnits` UTF-16 code units and ends on a character boundary.
size_t utf8PrefixWithinUtf16Units(std::string_view text, size_t maxUnits);

}  // namespace automation::writers
