// SPDX-License-Identifier: Apache-2.0
// Compares two parsed workbooks in full, for tests that read one file two
// ways and expect the same model.
#pragma once

#include "automation/model/WorkbookModel.h"

#include <string>

namespace readertest {

// A description of the first difference between `a` and `b`; empty when
// their sheets, rows, cells, texts, styles and date systems all agree.
std::string firstDifference(const automation::model::WorkbookModel &a, const automation::model::WorkbookModel &b);

}  // namespace readertest
