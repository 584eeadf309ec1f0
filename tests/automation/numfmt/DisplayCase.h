// SPDX-License-Identifier: Apache-2.0
// One row of a display table: a value, a code, and what the spreadsheet
// application shows.
#pragma once

#include <ostream>
#include <string>

struct DisplayCase {
    double value;
    const char *code;
    const char *shown;
    bool date1904 = false;
};

inline std::ostream &operator<<(std::ostream &stream, const DisplayCase &c) {
    return stream << "value " << c.value << " code [" << c.code << "] expecting [" << c.shown << "]";
}
