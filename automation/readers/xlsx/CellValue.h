// SPDX-License-Identifier: Apache-2.0
// How a cell's value is read from its text: one conversion for the fast path,
// which reads the text where it lies in the part, and for the events, which
// gather it first; so both give the same cell for the same markup.
#pragma once

#include <cstdint>
#include <string_view>

namespace automation::readers::xlsx {

// A cell's `t` attribute: "s" shared string, "str" formula text, "inlineStr",
// "b", "e", "d" (ISO date); absent or anything else a number.
enum class ValueKind : uint8_t { Number, Shared, FormulaString, Inline, Boolean, Error, IsoDate };
ValueKind kindOf(const char *t);

// The number a value of kind Number holds ("379", "4.5E-3", white space
// around it allowed); false when the text is no number.
bool numberFromText(std::string_view text, double *out);

// The shared-string index a value of kind Shared holds: its leading digits;
// UINT32_MAX when it starts with none or they overflow.
uint32_t sharedIndexFromText(std::string_view text);

// An ISO 8601 date-time ("2024-03-01", "2024-03-01T08:30:00Z") as a serial
// number of the given date system; false when the text is no such date.
bool isoDateToSerial(const char *text, bool date1904, double *serial);

}  // namespace automation::readers::xlsx
