// SPDX-License-Identifier: Apache-2.0
// Checks a written .xlsx package against the published ECMA-376 schemas
// (Transitional SpreadsheetML and the packaging schemas), the way the strict
// applications read it. The schemas are the copies kept with the test data.
#pragma once

#include <string>
#include <vector>

namespace schemacheck {

// What is wrong with the package at `xlsxPath`: each XML part that is not
// well-formed or breaks its schema, and each XML part no schema covers.
// Empty when every part validates. At most a few messages per part.
std::vector<std::string> packageProblems(const std::string &xlsxPath);

// The same for one part, named as in the package (e.g. "xl/styles.xml").
std::vector<std::string> partProblems(const std::string &partName, const std::string &xml);

// The problems as one text, for a test's failure message.
std::string joined(const std::vector<std::string> &problems);

}  // namespace schemacheck
