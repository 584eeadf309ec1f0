// SPDX-License-Identifier: Apache-2.0
// Finds every cell of one sheet that matches a search value and copies its
// row (or the cell alone) into the result sheet.
#pragma once

#include "engine/JobContext.h"

namespace engine {

// `searchRange` is the sheet's used range, or in one-column mode the scratch
// sheet's used range; every search starts after `startCell`, the top-left
// cell of the source sheet's used range.
void searchSheet(JobContext &job, PassState &pass, automation::Worksheet &sourceSheet, automation::Range &searchRange,
                 const automation::Range &startCell);

}  // namespace engine
