// SPDX-License-Identifier: Apache-2.0
// Reads from an .xlsx file the markup a save must carry over (model/KeptMarkup.h).
#pragma once

#include "automation/model/KeptMarkup.h"

#include <memory>
#include <string>

namespace automation::readers::xlsx {

// Null when the file is no readable .xlsx package. What a part holds that
// cannot stand without other parts (drawings, tables, links to files or
// printer settings) is left out. Never throws.
std::shared_ptr<const model::KeptMarkup> readKeptMarkup(const std::string &path);

}  // namespace automation::readers::xlsx
