// SPDX-License-Identifier: Apache-2.0
// What openpyxl, a reader that shares no code with ours, reads from an .xlsx
// file (tests/support/dump_with_openpyxl.py prints it), so that a fault
// mirrored in our writer and reader cannot hide.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace openpyxldump {

using Record = std::vector<std::string>;
using Fields = std::map<std::string, std::string>;

struct Dump {
    enum class Outcome { Ran, NoPython, NoOpenpyxl, Failed };
    Outcome outcome = Outcome::Failed;
    std::string output;           // the script's whole output, for messages
    std::vector<Record> records;  // one per line, fields decoded
};

Dump dump(const std::string &xlsxPath);

// The cell records by "sheet!A1": type, kind, value, formula, and the style
// fields by their names (numfmt, numfmtid, font, fill, ...).
std::map<std::string, Fields> cells(const Dump &dump);

// The warning records, each as one text.
std::vector<std::string> warnings(const Dump &dump);

}  // namespace openpyxldump
