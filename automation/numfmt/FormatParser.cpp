// SPDX-License-Identifier: Apache-2.0
// Compiles a format code: splits it into sections, classifies and tokenizes each.
#include "automation/numfmt/CompiledFormat.h"

#include "automation/numfmt/FormatScanning.h"
#include "automation/numfmt/SectionParser.h"

namespace automation::numfmt {

namespace {

bool isPlainGeneral(std::string_view code) {
    return code.empty() || (code.size() == kGeneralWord.size() && startsWithNoCase(code, 0, kGeneralWord));
}

// Codes that ask for the system's long date or time show the zh-CN system
// formats, whatever else they spell out.
constexpr std::string_view kSystemLongDateTags[] = {"[$-f800]", "[$-x-sysdate]"};
constexpr std::string_view kSystemLongTimeTags[] = {"[$-f400]", "[$-x-systime]"};
constexpr std::string_view kSystemLongDate = "yyyy\"年\"m\"月\"d\"日\"";
constexpr std::string_view kSystemLongTime = "h:mm:ss";

bool containsNoCase(std::string_view text, std::string_view word) {
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (startsWithNoCase(text, i, word)) return true;
    }
    return false;
}

std::string_view systemFormatOr(std::string_view section) {
    for (std::string_view tag : kSystemLongDateTags) {
        if (containsNoCase(section, tag)) return kSystemLongDate;
    }
    for (std::string_view tag : kSystemLongTimeTags) {
        if (containsNoCase(section, tag)) return kSystemLongTime;
    }
    return section;
}

}  // namespace

bool Section::matches(double value) const {
    switch (conditionOp) {
        case ConditionOp::None:
            return true;
        case ConditionOp::Less:
            return value < conditionValue;
        case ConditionOp::LessEqual:
            return value <= conditionValue;
        case ConditionOp::Greater:
            return value > conditionValue;
        case ConditionOp::GreaterEqual:
            return value >= conditionValue;
        case ConditionOp::Equal:
            return value == conditionValue;
        case ConditionOp::NotEqual:
            return value != conditionValue;
    }
    return true;
}

CompiledFormat compileFormat(std::string_view code) {
    CompiledFormat compiled;
    if (isPlainGeneral(code)) {
        compiled.isGeneral = true;
        compiled.sections.emplace_back();
        compiled.sections.back().hasGeneral = true;
        compiled.sections.back().tokens.push_back(Token{TokenKind::General, 0, 0, DigitGroup::None, 0, 0, {}});
        compiled.numberSections = 1;
        return compiled;
    }
    for (std::string_view written : splitSections(code)) {
        const std::string_view text = systemFormatOr(written);
        Section section;
        section.kind = classify(text);
        parseSection(text, section);
        compiled.sections.push_back(std::move(section));
    }
    const int count = static_cast<int>(compiled.sections.size());
    if (count == kMaxSections) {
        compiled.textSection = kMaxSections - 1;
    } else {
        for (int k = count - 1; k >= 0; --k) {
            if (compiled.sections[static_cast<size_t>(k)].kind == SectionKind::Text) {
                compiled.textSection = k;
                break;
            }
        }
    }
    // A text section at the end takes no numbers; one elsewhere shows them as General.
    compiled.numberSections = compiled.textSection == count - 1 ? count - 1 : count;
    return compiled;
}

}  // namespace automation::numfmt
