// SPDX-License-Identifier: Apache-2.0
// Cell text as SpreadsheetML stores it: _xHHHH_ escapes for characters XML
// cannot carry, and the application's limit on the length of one cell's text.
#pragma once

#include "automation/model/Limits.h"

#include <string>
#include <string_view>

namespace automation::readers::xlsx {

// Raw text kept per cell text before cutting: enough for the longest cell
// text even when every character arrives as a 7-byte escape; the rest would
// be cut anyway.
constexpr size_t kMaxRawTextBytes = 8 * model::kMaxTextLength;

// Replaces each _xHHHH_ escape by its character (UTF-8), in place.
void decodeEscapes(std::string &text);

// Cuts UTF-8 text to at most `maxUnits` UTF-16 code units, never inside a character.
void cutToUtf16Units(std::string &text, size_t maxUnits);

// Both, as every cell text needs.
void normaliseCellText(std::string &text);
// Whether normaliseCellText would change `text`: most texts it leaves as they are.
bool cellTextNeedsNormalising(std::string_view text);

}  // namespace automation::readers::xlsx
