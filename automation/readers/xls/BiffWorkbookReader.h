// SPDX-License-Identifier: Apache-2.0
// Decodes the BIFF5/BIFF8 records of a workbook stream into the workbook
// model: the globals (strings, formats, sheet list, date system, code page)
// and every worksheet's rows, cells, column widths and merged areas.
#pragma once

#include "automation/readers/ReadResult.h"

#include <cstddef>
#include <cstdint>

namespace automation::readers::xls {

// The stream must stay alive during the call. Never throws.
ReadResult decodeWorkbookStream(const uint8_t *data, size_t size);

}  // namespace automation::readers::xls
