// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/CellAddress.h"

#include "automation/model/Limits.h"

#include <cstring>

namespace automation::readers::xlsx {

namespace {

// Accumulates a decimal number, capped just past `limit` so it cannot overflow.
const char *scanNumber(const char *p, const char *end, uint32_t limit, uint32_t *out, bool *any) {
    uint64_t value = 0;
    *any = false;
    while (p < end && *p >= '0' && *p <= '9') {
        *any = true;
        if (value <= limit) value = value * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
    }
    *out = value > limit ? limit + 1 : static_cast<uint32_t>(value);
    return p;
}

}  // namespace

AddressParse parseCellAddress(const char *text, const char *end, uint32_t *row, uint32_t *column) {
    if (!text || text >= end) return AddressParse::Malformed;
    const char *p = text;
    if (*p == '$') ++p;
    uint64_t col = 0;
    const char *lettersStart = p;
    while (p < end && ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) {
        const char upper = (*p >= 'a') ? static_cast<char>(*p - 'a' + 'A') : *p;
        if (col <= model::kMaxColumns) col = col * 26 + static_cast<uint64_t>(upper - 'A' + 1);
        ++p;
    }
    if (p == lettersStart) return AddressParse::Malformed;
    if (p < end && *p == '$') ++p;
    uint32_t r = 0;
    bool any = false;
    p = scanNumber(p, end, model::kMaxRows, &r, &any);
    if (!any || p != end) return AddressParse::Malformed;
    if (col > model::kMaxColumns || r == 0 || r > model::kMaxRows) return AddressParse::OutOfRange;
    *row = r;
    *column = static_cast<uint32_t>(col);
    return AddressParse::Ok;
}

AddressParse parseCellAddress(const char *text, uint32_t *row, uint32_t *column) {
    if (!text) return AddressParse::Malformed;
    // As producers write nearly every reference ("B7"): one pass, no length first.
    const char *p = text;
    uint32_t col = 0;
    for (int letters = 0; letters < 3 && *p >= 'A' && *p <= 'Z'; ++letters, ++p)
        col = col * 26 + static_cast<uint32_t>(*p - 'A' + 1);
    if (p != text && *p >= '1' && *p <= '9') {
        uint32_t r = 0;
        for (int digits = 0; digits < 7 && *p >= '0' && *p <= '9'; ++digits, ++p)
            r = r * 10 + static_cast<uint32_t>(*p - '0');
        if (*p == '\0' && col <= model::kMaxColumns && r <= model::kMaxRows) {
            *row = r;
            *column = col;
            return AddressParse::Ok;
        }
    }
    return parseCellAddress(text, text + std::strlen(text), row, column);
}

AddressParse parseCellArea(const char *text, model::CellArea *area) {
    if (!text) return AddressParse::Malformed;
    const char *end = text + std::strlen(text);
    const char *colon = std::strchr(text, ':');
    model::CellArea a;
    if (!colon) {
        AddressParse r = parseCellAddress(text, end, &a.firstRow, &a.firstColumn);
        if (r != AddressParse::Ok) return r;
        a.lastRow = a.firstRow;
        a.lastColumn = a.firstColumn;
    } else {
        AddressParse r = parseCellAddress(text, colon, &a.firstRow, &a.firstColumn);
        if (r != AddressParse::Ok) return r;
        r = parseCellAddress(colon + 1, end, &a.lastRow, &a.lastColumn);
        if (r != AddressParse::Ok) return r;
        if (a.lastRow < a.firstRow) std::swap(a.lastRow, a.firstRow);
        if (a.lastColumn < a.firstColumn) std::swap(a.lastColumn, a.firstColumn);
    }
    *area = a;
    return AddressParse::Ok;
}

AddressParse parseIndex(const char *text, uint32_t limit, uint32_t *out) {
    if (!text) return AddressParse::Malformed;
    const char *end = text + std::strlen(text);
    uint32_t value = 0;
    bool any = false;
    const char *p = scanNumber(text, end, limit, &value, &any);
    if (!any || p != end) return AddressParse::Malformed;
    if (value == 0 || value > limit) return AddressParse::OutOfRange;
    *out = value;
    return AddressParse::Ok;
}

}  // namespace automation::readers::xlsx
