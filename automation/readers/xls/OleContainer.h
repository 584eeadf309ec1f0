// SPDX-License-Identifier: Apache-2.0
// The OLE2 compound file around a legacy workbook: finds the workbook stream
// and loads it into memory in one piece, so the record decoder can work on
// plain bytes.
#pragma once

#include "automation/readers/ReadResult.h"

#include <cstdint>
#include <string>
#include <vector>

namespace automation::readers::xls {

// No genuine workbook stream comes near this; a larger one is refused rather
// than allocated.
constexpr uint64_t kMaxWorkbookStreamBytes = 512ull * 1024 * 1024;

// Loads the "Workbook" stream (BIFF8) or the "Book" stream (BIFF5) of the
// compound file at `path` into `bytes`. Ok, or the reason it could not:
// NotFound, Unreadable, NotAWorkbook (no compound file), Unsupported (a
// compound file of another kind, without a workbook stream),
// Encrypted (an encrypted package), TooLarge, Corrupt.
ReadStatus loadWorkbookStream(const std::string &path, std::vector<uint8_t> *bytes, std::string *message);

}  // namespace automation::readers::xls
