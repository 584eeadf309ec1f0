// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/CellValue.h"

#include "automation/readers/xlsx/XmlStream.h"

namespace automation::readers::xlsx {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool readDigits(const char *&p, int n, unsigned *out) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i, ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<unsigned>(*p - '0');
    }
    *out = v;
    return true;
}

}  // namespace

ValueKind kindOf(const char *t) {
    if (!t) return ValueKind::Number;
    switch (t[0]) {
        case 's':
            return t[1] == 0 ? ValueKind::Shared : ValueKind::FormulaString;  // "s" / "str"
        case 'i':
            return ValueKind::Inline;
        case 'b':
            return ValueKind::Boolean;
        case 'e':
            return ValueKind::Error;
        case 'd':
            return ValueKind::IsoDate;
        default:
            return ValueKind::Number;
    }
}

bool numberFromXmlText(std::string_view text, double *out) {
    return parseXmlDouble(text.data(), text.data() + text.size(), out);
}

bool isoDateToSerial(const char *text, bool date1904, double *serial) {
    if (!text) return false;
    const char *p = text;
    unsigned y, m, d, hh = 0, mm = 0, ss = 0;
    if (!readDigits(p, 4, &y) || *p++ != '-' || !readDigits(p, 2, &m) || *p++ != '-' || !readDigits(p, 2, &d))
        return false;
    double fraction = 0;
    if (*p == 'T' || *p == ' ') {
        ++p;
        if (!readDigits(p, 2, &hh) || *p++ != ':' || !readDigits(p, 2, &mm)) return false;
        if (*p == ':') {
            ++p;
            if (!readDigits(p, 2, &ss)) return false;
            if (*p == '.') {
                const char *start = p;
                ++p;
                while (*p >= '0' && *p <= '9') ++p;
                double f = 0;
                if (parseXmlDouble(start, p, &f)) fraction = f;
            }
        }
    }
    if (*p == 'Z') ++p;
    if (*p != 0 || m < 1 || m > 12 || d < 1 || d > 31 || hh > 23 || mm > 59 || ss > 59) return false;
    const int64_t days = daysFromCivil(y, m, d);
    double serialDays;
    if (date1904) {
        serialDays = static_cast<double>(days - daysFromCivil(1904, 1, 1));
    } else {
        // The 1900 system counts a 29 February 1900 that never was.
        serialDays = static_cast<double>(days - daysFromCivil(1899, 12, 30));
        if (days < daysFromCivil(1900, 3, 1)) serialDays -= 1;
    }
    if (serialDays < 0) return false;
    *serial = serialDays + (hh * 3600.0 + mm * 60.0 + ss + fraction) / 86400.0;
    return true;
}

}  // namespace automation::readers::xlsx
