// SPDX-License-Identifier: Apache-2.0
// The one way the backend reads a workbook file. Every read passes through
// here, so no exception from a reader (an allocation failure on a huge file,
// say) can escape into a reader thread or the job, and every failure keeps its
// reason for the caller.
#pragma once

#include "automation/Automation.h"
#include "automation/readers/ReadResult.h"
#include "automation/readers/RowFilter.h"

#include <QString>
#include <string>
#include <vector>

namespace automation::native {

// With a filter, an .xlsx/.xlsm keeps only what it reaches (readers::readWorkbookFile).
readers::ReadResult readSourceWorkbook(const QString &path, readers::RowFilter *filter = nullptr,
                                       std::vector<readers::SheetOutline> *outlines = nullptr);

// Tests put a reader of their own in place of the real one (to make reads
// fail in ways real files cannot); nullptr restores the real one.
using SourceReader = readers::ReadResult (*)(const std::string &path);
void setSourceReaderForTesting(SourceReader reader);

}  // namespace automation::native
