// SPDX-License-Identifier: Apache-2.0
// Tokenizes one section of a format code. Lenient like the spreadsheet
// applications reading foreign files: what it does not know is shown as text.
#pragma once

#include "automation/numfmt/CompiledFormat.h"

#include <string_view>

namespace automation::numfmt {

// Fills `section` (whose kind is already set) from its code text.
void parseSection(std::string_view text, Section &section);

}  // namespace automation::numfmt
