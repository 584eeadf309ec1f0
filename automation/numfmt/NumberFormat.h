// SPDX-License-Identifier: Apache-2.0
// Renders cell values as the spreadsheet application displays them through a
// number format code. Pure functions of their arguments, safe from any thread;
// each code is parsed once and kept in a small shared cache.
#pragma once

#include <string>
#include <string_view>

namespace automation::numfmt {

// The format code of a built-in number format id (0-49 and the Chinese-locale
// ids 27-36, 50-58); an empty string when the id has no built-in code.
std::string builtinFormatCode(int id);

// A number shown through `formatCode` (UTF-8). date1904 selects the 1904 date system.
std::string formatNumber(double value, std::string_view formatCode, bool date1904 = false);

// A text shown through `formatCode`: the text section (fourth, or the only
// one holding @) applied; the text itself when the code has no text section.
std::string formatText(std::string_view text, std::string_view formatCode);

// The "General" display: at most 11 characters, exponent form past that.
std::string formatGeneral(double value);

// True when every finite number shown through the code shows a decimal point
// ("0.00", "#,##0.0;(#,##0.0)"): no section without one, no condition that
// could leave a number unshown, no numerals written otherwise.
bool alwaysShowsDecimalPoint(std::string_view formatCode);

// The most digits in a row that a number shown through the code can show
// ("#,##0.00": 3, its groups and decimals alike); -1 when there is no such
// bound short of the number itself. Bounded are codes of plain placeholders
// with thousands separators, no exponent, fraction bar, General, condition,
// other numerals or digits among their literals.
int longestDigitRun(std::string_view formatCode);

// True when the code shows a date or time (so a reader may tell dates apart).
bool isDateFormat(std::string_view formatCode);

// True when the code shows a day of the calendar (a year, month, day or
// weekday), not a time of day or a duration alone: such a number names a
// different day in the 1900 and the 1904 date systems.
bool showsCalendarDate(std::string_view formatCode);

}  // namespace automation::numfmt
