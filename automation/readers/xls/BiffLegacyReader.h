// SPDX-License-Identifier: Apache-2.0
// The BIFF2, BIFF3 and BIFF4 streams of Excel 2.x to 4.0 (still written by
// some accounting and government systems): one worksheet per file, its
// formats in the same stream; or a BIFF4 workbook, whose sheets follow its
// globals one after another, each a worksheet stream of its own.
#pragma once

#include "automation/readers/ReadResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace automation::readers::xls {

// True when the stream opens with a BOF record of those versions.
bool isLegacyBiffStream(const uint8_t *data, size_t size);

// `sheetName` names the sheet of a one-worksheet file (the applications use
// the file's name). The stream must stay alive during the call. Never throws.
ReadResult decodeLegacyBiffStream(const uint8_t *data, size_t size, const std::string &sheetName);

}  // namespace automation::readers::xls
