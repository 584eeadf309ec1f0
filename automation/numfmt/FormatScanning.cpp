// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/FormatScanning.h"

#include <cctype>

namespace automation::numfmt {

size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead >> 5) == 0x6) return 2;
    if ((lead >> 4) == 0xE) return 3;
    if ((lead >> 3) == 0x1E) return 4;
    return 1;
}

std::string_view charAt(std::string_view text, size_t i) {
    size_t length = utf8Length(static_cast<unsigned char>(text[i]));
    if (i + length > text.size()) length = text.size() - i;
    return text.substr(i, length);
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view text, size_t i, std::string_view word) {
    if (text.size() - i < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
        if (lower(text[i + k]) != word[k]) return false;
    }
    return true;
}

size_t runLength(std::string_view text, size_t i, char letter) {
    size_t n = 0;
    while (i + n < text.size() && lower(text[i + n]) == letter) ++n;
    return n;
}

size_t skipQuoted(std::string_view text, size_t open) {
    const size_t close = text.find('"', open + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
}

std::vector<std::string_view> splitSections(std::string_view code) {
    std::vector<std::string_view> sections;
    size_t start = 0;
    size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        if (c == '"') {
            i = skipQuoted(code, i);
        } else if (c == '\\' || c == '_' || c == '*') {
            i += 1;
            if (i < code.size()) i += charAt(code, i).size();
        } else if (c == '[') {
            const size_t close = code.find(']', i);
            i = close == std::string_view::npos ? code.size() : close + 1;
        } else if (c == ';') {
            if (sections.size() + 1 >= static_cast<size_t>(kMaxSections)) {
                // Past the fourth section the rest is ignored.
                sections.push_back(code.substr(start, i - start));
                return sections;
            }
            sections.push_back(code.substr(start, i - start));
            start = ++i;
        } else {
            i += charAt(code, i).size();
        }
    }
    sections.push_back(code.substr(start));
    return sections;
}

bool isElapsedTag(std::string_view content, char letter) {
    if (content.empty()) return false;
    for (char c : content) {
        if (lower(c) != letter) return false;
    }
    return true;
}

SectionKind classify(std::string_view text) {
    bool date = false;
    bool holdsText = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            i = skipQuoted(text, i);
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            i += 1;
            if (i < text.size()) i += charAt(text, i).size();
            continue;
        }
        if (c == '[') {
            const size_t close = text.find(']', i);
            const size_t end = close == std::string_view::npos ? text.size() : close;
            const std::string_view content = text.substr(i + 1, end - i - 1);
            if (isElapsedTag(content, 'h') || isElapsedTag(content, 'm') || isElapsedTag(content, 's')) date = true;
            i = end + 1;
            continue;
        }
        if (startsWithNoCase(text, i, kGeneralWord)) {
            i += kGeneralWord.size();
            continue;
        }
        const char l = lower(c);
        // e (the era year) unless it opens an exponent (E+, E-); b the Buddhist year.
        const bool eraYear = l == 'e' && !(i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-'));
        if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm' || l == 'b' || eraYear ||
            startsWithNoCase(text, i, "am/pm") || startsWithNoCase(text, i, "a/p") ||
            startsWithNoCase(text, i, "aaa") || text.substr(i, kChineseAmPm.size()) == kChineseAmPm)
            date = true;
        if (c == '@') holdsText = true;
        i += charAt(text, i).size();
    }
    if (date) return SectionKind::Date;
    return holdsText ? SectionKind::Text : SectionKind::Number;
}

}  // namespace automation::numfmt
