// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/SheetNames.h"

#include "automation/model/Limits.h"
#include "automation/writers/TextLimits.h"
#include "automation/writers/XlsxText.h"
#include "automation/writers/XmlOut.h"

#include <cctype>
#include <string_view>
#include <unordered_set>

namespace automation::writers {

namespace {

constexpr std::string_view kForbiddenCharacters = "[]:*?/\\";

std::string foldCase(const std::string &name) {
    std::string folded = name;
    for (char &c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Characters a sheet name may not hold, and those XML cannot carry (which the
// part would otherwise leave out, so that two names could end up equal), as '_'.
std::string withAllowedCharacters(const std::string &valid) {
    std::string name;
    name.reserve(valid.size());
    for (size_t i = 0; i < valid.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(valid[i]);
        if (xmlout::nonCharacterAt(valid, i)) {
            name.push_back('_');
            i += 2;
        } else if (c < 0x20 || kForbiddenCharacters.find(static_cast<char>(c)) != std::string_view::npos) {
            name.push_back('_');
        } else {
            name.push_back(static_cast<char>(c));
        }
    }
    return name;
}

std::string cleaned(const std::string &raw) {
    std::string name = withAllowedCharacters(isValidUtf8(raw) ? raw : validUtf8(raw));
    while (!name.empty() && name.front() == '\'') name.erase(name.begin());
    name.resize(utf8PrefixWithinUtf16Units(name, model::kMaxSheetNameLength));
    while (!name.empty() && name.back() == '\'') name.pop_back();
    return name;
}

}  // namespace

std::vector<std::string> xlsxSheetNames(const model::WorkbookModel &workbook) {
    std::vector<std::string> names;
    names.reserve(workbook.sheetCount());
    std::unordered_set<std::string> taken;
    for (size_t i = 0; i < workbook.sheetCount(); ++i) {
        std::string name = cleaned(workbook.sheet(i).name);
        if (name.empty()) name = "Sheet" + std::to_string(i + 1);
        if (taken.count(foldCase(name))) {
            for (int n = 2;; ++n) {
                const std::string suffix = " (" + std::to_string(n) + ")";
                std::string base = name;
                base.resize(utf8PrefixWithinUtf16Units(base, model::kMaxSheetNameLength - suffix.size()));
                if (!taken.count(foldCase(base + suffix))) {
                    name = base + suffix;
                    break;
                }
            }
        }
        taken.insert(foldCase(name));
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace automation::writers
