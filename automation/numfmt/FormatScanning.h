// SPDX-License-Identifier: Apache-2.0
// Character-level reading of format codes shared by the section splitter,
// the classifier and the tokenizer: UTF-8 steps, quotes, case-blind words.
#pragma once

#include "automation/numfmt/CompiledFormat.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace automation::numfmt {

constexpr std::string_view kGeneralWord = "general";
constexpr std::string_view kChineseAmPm = "上午/下午";
constexpr unsigned kChineseLocale = 0x804;

size_t utf8Length(unsigned char lead);
// One character (all its UTF-8 bytes) starting at i, clipped to the text.
std::string_view charAt(std::string_view text, size_t i);
char lower(char c);
bool startsWithNoCase(std::string_view text, size_t i, std::string_view word);
// How many characters from i equal `letter`, case-blind.
size_t runLength(std::string_view text, size_t i, char letter);
// Index just past the closing quote (or the end when unterminated).
size_t skipQuoted(std::string_view text, size_t open);
// Sections split at semicolons outside quotes, escapes and brackets.
std::vector<std::string_view> splitSections(std::string_view code);
// True for [h], [hh], [mm], [ss]... with `letter` the repeated one.
bool isElapsedTag(std::string_view content, char letter);
// Whether a section shows a date or time, a text, or a number.
SectionKind classify(std::string_view text);

}  // namespace automation::numfmt
