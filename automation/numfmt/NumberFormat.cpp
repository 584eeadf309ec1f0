// SPDX-License-Identifier: Apache-2.0
// Entry points: choose the section for a value, then render it.
#include "automation/numfmt/NumberFormat.h"

#include "automation/numfmt/ChineseNumerals.h"
#include "automation/numfmt/CompiledFormat.h"
#include "automation/numfmt/GeneralFormat.h"
#include "automation/numfmt/SectionRenderers.h"

#include <algorithm>
#include <cmath>

namespace automation::numfmt {

namespace {

constexpr std::string_view kGeneralCode = "General";

struct Choice {
    const Section *section = nullptr;
    bool useMagnitude = false;  // the section shows the value without its minus sign
};

// A condition that only negative values meet already says "negative".
bool conditionImpliesNegative(const Section &section) {
    switch (section.conditionOp) {
        case ConditionOp::Less:
            return section.conditionValue <= 0;
        case ConditionOp::LessEqual:
        case ConditionOp::Equal:
            return section.conditionValue < 0;
        default:
            return false;
    }
}

Choice chooseSection(const CompiledFormat &format, double value) {
    const int count = format.numberSections;
    const auto &sections = format.sections;
    Choice choice;
    const bool conditional =
        sections[0].conditionOp != ConditionOp::None || (count >= 2 && sections[1].conditionOp != ConditionOp::None);
    if (!conditional) {
        if (count == 1 || (value >= 0 && count == 2) || value > 0) {
            choice.section = &sections[0];
            choice.useMagnitude = count >= 2;
        } else if (value < 0) {
            choice.section = &sections[1];
            choice.useMagnitude = true;
        } else {
            choice.section = &sections[2];
            choice.useMagnitude = true;
        }
        return choice;
    }
    // A first section without a condition keeps its usual share: positive
    // numbers, and zero when no zero section follows.
    const bool firstMatches = sections[0].conditionOp != ConditionOp::None ? sections[0].matches(value)
                              : count == 2                                 ? value >= 0
                                                                           : value > 0;
    const Section *chosen = nullptr;
    if (firstMatches)
        chosen = &sections[0];
    else if (count >= 2 && sections[1].conditionOp != ConditionOp::None && sections[1].matches(value))
        chosen = &sections[1];
    else if (count >= 3)
        chosen = &sections[2];
    else if (count == 2 && sections[1].conditionOp == ConditionOp::None)
        chosen = &sections[1];
    if (!chosen) return choice;
    choice.section = chosen;
    // A second section without a condition is the negative numbers' own
    // section, as in a code without conditions: it drops the sign.
    const bool negativeSection = chosen == &sections[1] && chosen->conditionOp == ConditionOp::None;
    choice.useMagnitude = value < 0 && (negativeSection || conditionImpliesNegative(*chosen));
    return choice;
}

}  // namespace

std::string formatNumber(double value, std::string_view formatCode, bool date1904) {
    // Most cells carry no format at all: skip the cache for them.
    if (formatCode.empty() || formatCode == kGeneralCode) return formatGeneral(value);
    if (!std::isfinite(value)) return kNumberErrorText;
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->numberSections == 0) return formatGeneral(value);
    const Choice choice = chooseSection(*format, value);
    if (!choice.section) return kUnshowableText;
    const Section &section = *choice.section;
    const bool negative = value < 0;
    std::string out;
    switch (section.kind) {
        case SectionKind::Number: {
            DecimalDigits magnitude = toDecimal(value);
            magnitude.negative = false;
            renderNumberSection(section, magnitude, negative && !choice.useMagnitude, out);
            break;
        }
        case SectionKind::Date:
            if (!renderDateSection(section, choice.useMagnitude ? std::fabs(value) : value, date1904, out))
                return kUnshowableText;
            break;
        case SectionKind::Text:
            return formatGeneral(value);
    }
    if (section.chineseNumerals > 0 && section.kind == SectionKind::Number)
        return toChineseNumerals(out, section.chineseNumerals);
    return out;
}

std::string formatText(std::string_view text, std::string_view formatCode) {
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->textSection < 0) return std::string(text);
    std::string out;
    renderTextSection(format->sections[static_cast<size_t>(format->textSection)], text, out);
    return out;
}

bool alwaysShowsDecimalPoint(std::string_view formatCode) {
    if (formatCode.empty() || formatCode == kGeneralCode) return false;
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->numberSections == 0) return false;
    for (int i = 0; i < format->numberSections; ++i) {
        const Section &section = format->sections[static_cast<size_t>(i)];
        if (section.kind != SectionKind::Number || section.conditionOp != ConditionOp::None ||
            section.chineseNumerals != 0 || section.hasGeneral)
            return false;
        bool point = false;
        for (const Token &token : section.tokens) point = point || token.kind == TokenKind::DecimalPoint;
        if (!point) return false;
    }
    return true;
}

namespace {

// Search compares folded texts, where full-width digits are digits too.
bool literalHoldsDigits(const Token &token) {
    return token.text.find_first_of("0123456789") != std::string::npos ||
           token.text.find("\xEF\xBC") != std::string::npos;
}

// A date or time section: each part adds at most its digits to a run, which
// a literal without digits ends. Names (months, weekdays) count as digits
// too, as a locale may write them so; elapsed times have no bound.
int dateSectionDigitRun(const Section &section) {
    int longest = 0, run = 0;
    for (const Token &token : section.tokens) {
        int digits = 0;
        switch (token.kind) {
            case TokenKind::Literal:
                if (literalHoldsDigits(token)) return -1;
                run = 0;
                continue;
            case TokenKind::AmPm:
                run = 0;
                continue;
            case TokenKind::YearLong:
            case TokenKind::BuddhistYearLong:
                digits = 5;
                break;
            case TokenKind::SubSecond:
                digits = kMaxSubSecondDigits + 1;
                break;
            case TokenKind::YearShort:
            case TokenKind::BuddhistYearShort:
            case TokenKind::Month:
            case TokenKind::MonthPadded:
            case TokenKind::MonthAbbr:
            case TokenKind::MonthFull:
            case TokenKind::MonthLetter:
            case TokenKind::Day:
            case TokenKind::DayPadded:
            case TokenKind::WeekdayAbbr:
            case TokenKind::WeekdayFull:
            case TokenKind::WeekdayChineseShort:
            case TokenKind::WeekdayChineseFull:
            case TokenKind::Hour:
            case TokenKind::HourPadded:
            case TokenKind::Minute:
            case TokenKind::MinutePadded:
            case TokenKind::Second:
            case TokenKind::SecondPadded:
                digits = 2;
                break;
            default:
                return -1;
        }
        run += digits;
        longest = std::max(longest, run);
    }
    return longest;
}

}  // namespace

int longestDigitRun(std::string_view formatCode) {
    if (formatCode.empty() || formatCode == kGeneralCode) return -1;
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->numberSections == 0) return -1;
    int longest = 0;
    for (int i = 0; i < format->numberSections; ++i) {
        const Section &section = format->sections[static_cast<size_t>(i)];
        if (section.kind == SectionKind::Date && section.chineseNumerals == 0 && !section.hijri && !section.holdsText &&
            section.locale == 0) {
            const int run = dateSectionDigitRun(section);
            if (run < 0) return -1;
            longest = std::max(longest, run);
            continue;
        }
        if (section.kind != SectionKind::Number || section.conditionOp != ConditionOp::None ||
            section.chineseNumerals != 0 || section.hasGeneral || section.hasExponent || section.hasFraction ||
            section.holdsText)
            return -1;
        // Without placeholders a section shows its literals only; a point
        // without integer placeholders still shows the integer digits, ungrouped.
        const int integer = section.groupCount(DigitGroup::Integer);
        if (integer > 0 && !section.thousands) return -1;
        for (const Token &token : section.tokens) {
            if (token.kind == TokenKind::DecimalPoint && integer == 0) return -1;
            switch (token.kind) {
                case TokenKind::Literal:
                    if (literalHoldsDigits(token)) return -1;
                    break;
                case TokenKind::Digit:
                    if (token.group != DigitGroup::Integer && token.group != DigitGroup::Fraction) return -1;
                    break;
                case TokenKind::DecimalPoint:
                case TokenKind::ThousandsMarker:
                case TokenKind::ScaleMarker:
                case TokenKind::Percent:
                    break;
                default:
                    return -1;
            }
        }
        // Integer digits come in groups of three at most; the decimals follow the point.
        longest = std::max({longest, integer > 0 ? 3 : 0, section.groupCount(DigitGroup::Fraction)});
    }
    return longest;
}

bool isDateFormat(std::string_view formatCode) {
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->numberSections == 0) return false;
    const Section &first = format->sections[0];
    return first.kind == SectionKind::Date && first.hasDateOrTime;
}

bool showsCalendarDate(std::string_view formatCode) {
    const std::shared_ptr<const CompiledFormat> format = cachedFormat(formatCode);
    if (format->isGeneral || format->numberSections == 0) return false;
    const Section &first = format->sections[0];
    if (first.kind != SectionKind::Date) return false;
    return std::any_of(first.tokens.begin(), first.tokens.end(), [](const Token &token) {
        return token.kind >= TokenKind::YearShort && token.kind <= TokenKind::WeekdayChineseFull;
    });
}

}  // namespace automation::numfmt
