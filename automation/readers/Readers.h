// SPDX-License-Identifier: Apache-2.0
// The workbook readers, one per file kind, and the sniffing entry point that
// picks one by the file's content.
#pragma once

#include "automation/readers/ReadResult.h"
#include "automation/readers/RowFilter.h"

#include <string>
#include <vector>

namespace automation::readers {

// Picks the reader by content: a zip -> .xlsx/.xlsm; an OLE2 compound file or
// a plain BIFF stream -> .xls; an HTML document -> its first table; other text (a UTF-16 byte-order
// mark, or no NUL byte) named .csv -> comma separated, named .xls -> tab
// separated text; anything else is not a workbook.
ReadResult readWorkbookFile(const std::string &path);
// The same, keeping of an .xlsx/.xlsm workbook only what `filter` reaches
// (RowFilter.h); `outlines` then gets one entry per sheet. Other kinds are
// read whole and leave `outlines` empty.
ReadResult readWorkbookFile(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines);

// .xlsx / .xlsm (zip container of SpreadsheetML parts).
ReadResult readXlsx(const std::string &path);
ReadResult readXlsx(const std::string &path, RowFilter *filter, std::vector<SheetOutline> *outlines);

// Delimited text. The one worksheet is named `sheetName`.
ReadResult readDelimitedText(const std::string &path, char separator, const std::string &sheetName);

// .xls: BIFF8 (and BIFF5, or a BIFF4 "Book") in an OLE2 compound file.
ReadResult readXls(const std::string &path);

// .xls of Excel 2.x to 4.0 (BIFF2, BIFF3, BIFF4 and BIFF4 workbooks), or a
// later BIFF stream, as a plain file without a compound file around it. A
// one-worksheet file's sheet is named `sheetName`.
bool isPlainBiffStream(const std::string &head);
ReadResult readPlainBiffStream(const std::string &path, const std::string &sheetName);

// An HTML document whose first table becomes the one worksheet `sheetName`.
ReadResult readHtmlTable(const std::string &path, const std::string &sheetName);

}  // namespace automation::readers
