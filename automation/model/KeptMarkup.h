// SPDX-License-Identifier: Apache-2.0
// What an .xlsx workbook holds around its cells that the model does not, kept
// as the file's own markup so that a workbook opened and saved again (a
// header template) keeps it: a sheet's views and panes, filter, validation,
// conditional formats and print settings, the workbook's defined names and
// the formats its conditional formats use.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace automation::model {

// Whole elements of one worksheet part, by where they go among the elements
// the writer makes (sheetFormatPr, cols, sheetData, mergeCells).
struct KeptSheetMarkup {
    std::string properties;     // sheetPr: tab colour, outline and fit-to-page settings
    std::string views;          // sheetViews: frozen or split panes, zoom, selection
    std::string beforeMerges;   // sheetProtection, autoFilter, sortState, ...
    std::string beforeMargins;  // conditionalFormatting, dataValidations, hyperlinks, printOptions
    std::string margins;        // pageMargins
    std::string afterMargins;   // pageSetup, headerFooter, page breaks, ignoredErrors
};

struct KeptName {
    std::vector<std::pair<std::string, std::string>> attributes;  // name, hidden, comment, ... (not localSheetId)
    std::string localSheet;  // the sheet the name belongs to; empty for the whole workbook
    std::string formula;
};

struct KeptMarkup {
    std::map<std::string, KeptSheetMarkup> sheets;  // by sheet name
    std::vector<KeptName> names;
    std::string differentialFormats;  // the <dxf> elements, in order: conditional formats refer to them by index
    size_t differentialFormatCount = 0;
};

}  // namespace automation::model
