// SPDX-License-Identifier: Apache-2.0
// The job total above which results are written as CSV instead of a workbook.
#pragma once

namespace engine {

// Seven rows below the sheet's 1,048,576, as the spreadsheet applications leave headroom.
constexpr int kDefaultRowLimit = 1048569;

int rowLimit();

// Lets tests reach the CSV switch with a few rows; 0 or less restores the default.
void setRowLimitForTesting(int limit);

}  // namespace engine
