// SPDX-License-Identifier: Apache-2.0
// The one process-wide record through which the window hands a job its inputs.
// Written by the window only while no job runs; read by the job while it runs.
#pragma once

#include <QString>

namespace engine {

struct OptionSet {
    QString sourcePath;           // folder searched recursively, native separators
    QString savePath;             // destination folder text; result names are appended directly
    QString findText;             // the search values, one per line, trimmed as a whole
    bool wholeCellMatch = false;  // whole cell vs any part of it
    bool oneColumnOnly = false;
    int columnNumber = 0;  // 1 is column A
    bool useHeaderWorkbook = false;
    QString headerWorkbookPath;
    bool oneBookPerValue = false;
    bool noFileWhenNoData = false;
    bool dataColumnOnly = false;  // copy only the found cell, not its row
    bool namedSheetOnly = false;
    QString sheetName;  // compared exactly, case-sensitively
};

// The process-wide option set.
OptionSet &optionSet();

}  // namespace engine
