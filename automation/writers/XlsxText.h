// SPDX-License-Identifier: Apache-2.0
// Cell texts made safe for a SpreadsheetML file: valid UTF-8, a literal
// "_xHHHH_" kept literal (the format uses that form to escape characters),
// and no longer than the format's cell text limit.
#pragma once

#include <string>
#include <string_view>

namespace automation::writers {

// The text to write: `text` itself when it needs no change
// (the common case, no copy), otherwise a repaired copy built in `scratch`.
// A NUL is a character like any other here.
std::string_view xlsxCellText(std::string_view text, std::string &scratch);

// Invalid UTF-8 sequences replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

}  // namespace automation::writers
