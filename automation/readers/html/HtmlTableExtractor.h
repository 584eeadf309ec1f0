// SPDX-License-Identifier: Apache-2.0
// Turns the first <table> of a parsed HTML document into a worksheet: one
// row per <tr>, one cell per <td>/<th>, spans as merged areas.
#pragma once

#include "automation/model/WorkbookModel.h"

#include <libxml/tree.h>

#include <string>

namespace automation::readers::html {

// Browsers clamp spans to these; so does the reader.
constexpr unsigned kMaxColumnSpan = 1000;
constexpr unsigned kMaxRowSpan = 65534;

// Fills `sheet` from the first table under `root`. A document without a
// table gives an empty sheet. Numbers follow the text rule of delimited text:
// a text becomes a number only when it displays back exactly as written.
void extractFirstTable(xmlNodePtr root, model::WorkbookModel *book, model::Sheet *sheet);

// The cell text of one table cell: whitespace collapsed and trimmed, <br>
// as a line break. Exposed for the tests.
std::string cellText(xmlNodePtr cell);

}  // namespace automation::readers::html
