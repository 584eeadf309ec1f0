// SPDX-License-Identifier: Apache-2.0
// Pieces of SpreadsheetML text appended to a buffer: escaped text and
// attribute values, numbers, cell references. Kept small and inline-friendly,
// since a large save writes millions of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace automation::writers::xmlout {

// Element text: &, < and > as entities; characters XML cannot carry (control
// characters, U+FFFE, U+FFFF) and CR, which XML would turn into LF, in the
// format's "_xHHHH_" form.
void appendText(std::string &out, std::string_view text);

// An attribute value (without the quotes): &, <, > and '"' as entities; tab,
// LF and CR as character references, which attribute normalisation would
// otherwise turn into spaces; other control characters, U+FFFE and U+FFFF,
// which an attribute cannot carry in any form, left out.
void appendAttribute(std::string &out, std::string_view text);

// U+FFFE or U+FFFF when the UTF-8 sequence at byte `i` is one of them, else 0:
// XML allows neither, in any form.
char32_t nonCharacterAt(std::string_view text, size_t i);

// A number as the shortest decimal that reads back as the same double.
void appendNumber(std::string &out, double value);
void appendUnsigned(std::string &out, uint64_t value);

// "A1"-style reference of a 1-based row and column.
void appendCellReference(std::string &out, uint32_t row, uint32_t column);
void appendColumnLetters(std::string &out, uint32_t column);
// The letters written at `at` (room for 7), returning the end.
char *putColumnLetters(char *at, uint32_t column);

// True when the text starts or ends with white space, which a <t> element
// keeps only when it says xml:space="preserve".
bool needsSpacePreserved(std::string_view text);

}  // namespace automation::writers::xmlout
