// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/SectionParser.h"

#include "automation/numfmt/FormatScanning.h"
#include "automation/numfmt/SectionLayout.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>

namespace automation::numfmt {

namespace {

static_assert(static_cast<unsigned>(TokenKind::AmPm) < 64, "token kinds must fit the seen-kinds mask");

class SectionParser {
public:
    SectionParser(std::string_view text, Section &section) : text_(text), section_(section) {}

    void parse() {
        while (i_ < text_.size()) {
            if (!parseCommon()) parseByKind();
        }
        flushLiteral();
        if (section_.kind == SectionKind::Number)
            layoutNumberSection(section_);
        else if (section_.kind == SectionKind::Date)
            layoutDateSection(section_);
    }

private:
    std::string_view text_;
    Section &section_;
    size_t i_ = 0;
    std::string literal_;
    // Kinds already pushed, so that each character is read in constant time.
    uint64_t seenKinds_ = 0;

    void flushLiteral() {
        if (literal_.empty()) return;
        Token token;
        token.kind = TokenKind::Literal;
        token.text = std::move(literal_);
        literal_.clear();
        section_.tokens.push_back(std::move(token));
    }

    void push(TokenKind kind, char symbol = 0, int width = 0) {
        flushLiteral();
        Token token;
        token.kind = kind;
        token.symbol = symbol;
        token.width = static_cast<uint8_t>(width > 255 ? 255 : width);
        section_.tokens.push_back(std::move(token));
        seenKinds_ |= uint64_t{1} << static_cast<unsigned>(kind);
    }

    void takeLiteralChar() {
        const std::string_view c = charAt(text_, i_);
        literal_.append(c.data(), c.size());
        i_ += c.size();
    }

    bool hasToken(TokenKind kind) const { return (seenKinds_ >> static_cast<unsigned>(kind)) & 1u; }

    // Quotes, escapes, spacing, fill and bracket tags: the same in every kind.
    bool parseCommon() {
        const char c = text_[i_];
        if (c == '"') {
            const size_t end = skipQuoted(text_, i_);
            const size_t contentEnd = (end > i_ + 1 && end <= text_.size() && text_[end - 1] == '"') ? end - 1 : end;
            literal_.append(text_.substr(i_ + 1, contentEnd - i_ - 1));
            i_ = end;
            return true;
        }
        if (c == '\\') {
            ++i_;
            if (i_ < text_.size()) takeLiteralChar();
            return true;
        }
        if (c == '_' || c == '*') {
            // Spacing shows as one space; a fill has no width to fill here.
            ++i_;
            if (i_ < text_.size()) i_ += charAt(text_, i_).size();
            if (c == '_') literal_.push_back(' ');
            return true;
        }
        if (c == '[') {
            const size_t close = text_.find(']', i_);
            if (close == std::string_view::npos) {
                takeLiteralChar();
                return true;
            }
            parseBracket(text_.substr(i_ + 1, close - i_ - 1));
            i_ = close + 1;
            return true;
        }
        return false;
    }

    void parseBracket(std::string_view content) {
        if (content.empty()) return;
        const char first = content[0];
        if (first == '<' || first == '>' || first == '=') {
            parseCondition(content);
        } else if (first == '$') {
            const size_t dash = content.find('-', 1);
            literal_.append(content.substr(1, (dash == std::string_view::npos ? content.size() : dash) - 1));
            if (dash != std::string_view::npos) section_.locale = parseLocale(content.substr(dash + 1));
        } else if (isElapsedTag(content, 'h')) {
            push(TokenKind::ElapsedHours, 'h', static_cast<int>(content.size()));
        } else if (isElapsedTag(content, 'm')) {
            push(TokenKind::ElapsedMinutes, 'm', static_cast<int>(content.size()));
        } else if (isElapsedTag(content, 's')) {
            push(TokenKind::ElapsedSeconds, 's', static_cast<int>(content.size()));
        } else if (startsWithNoCase(content, 0, "dbnum") && content.size() == 6) {
            const int kind = content[5] - '0';
            if (kind >= 1 && kind <= 3) section_.chineseNumerals = kind;
        }
        // Colours and other tags change nothing in the text.
    }

    static unsigned parseLocale(std::string_view tag) {
        if (startsWithNoCase(tag, 0, "zh")) return kChineseLocale;
        unsigned long long id = 0;
        std::from_chars(tag.data(), tag.data() + tag.size(), id, 16);
        // Only the low word names the language; the rest selects calendars and digits.
        return static_cast<unsigned>(id & 0xFFFF);
    }

    void parseCondition(std::string_view content) {
        size_t k = 1;
        ConditionOp op = ConditionOp::Equal;
        if (content[0] == '<') {
            op = ConditionOp::Less;
            if (k < content.size() && content[k] == '=') {
                op = ConditionOp::LessEqual;
                ++k;
            } else if (k < content.size() && content[k] == '>') {
                op = ConditionOp::NotEqual;
                ++k;
            }
        } else if (content[0] == '>') {
            op = ConditionOp::Greater;
            if (k < content.size() && content[k] == '=') {
                op = ConditionOp::GreaterEqual;
                ++k;
            }
        }
        // from_chars ignores the process locale (a comma decimal point would misread).
        while (k < content.size() && (content[k] == ' ' || content[k] == '+')) ++k;
        double value = 0.0;
        const auto parsed = std::from_chars(content.data() + k, content.data() + content.size(), value);
        if (parsed.ec != std::errc()) return;
        section_.conditionOp = op;
        section_.conditionValue = value;
    }

    void parseByKind() {
        switch (section_.kind) {
            case SectionKind::Number:
                parseNumberChar();
                break;
            case SectionKind::Date:
                parseDateChar();
                break;
            case SectionKind::Text:
                if (text_[i_] == '@') {
                    push(TokenKind::TextValue);
                    section_.holdsText = true;
                    ++i_;
                } else {
                    takeLiteralChar();
                }
                break;
        }
    }

    void parseNumberChar() {
        const char c = text_[i_];
        if (c == '0' || c == '#' || c == '?') {
            push(TokenKind::Digit, c);
            ++i_;
        } else if (c == '.' && !hasToken(TokenKind::DecimalPoint) && !hasToken(TokenKind::Exponent) &&
                   !hasToken(TokenKind::Slash)) {
            push(TokenKind::DecimalPoint, '.');
            ++i_;
        } else if (c == ',') {
            // Resolved once the neighbours are known.
            flushLiteral();
            Token token;
            token.kind = TokenKind::Literal;
            token.symbol = ',';
            token.text = ",";
            section_.tokens.push_back(std::move(token));
            ++i_;
        } else if (c == '%') {
            push(TokenKind::Percent, '%');
            ++i_;
        } else if ((c == 'E' || c == 'e') && i_ + 1 < text_.size() && (text_[i_ + 1] == '+' || text_[i_ + 1] == '-') &&
                   hasToken(TokenKind::Digit) && !hasToken(TokenKind::Exponent) && !hasToken(TokenKind::Slash)) {
            push(TokenKind::Exponent, c, text_[i_ + 1] == '+' ? 1 : 0);
            i_ += 2;
        } else if (c == '/' && hasToken(TokenKind::Digit) && !hasToken(TokenKind::Slash) &&
                   !hasToken(TokenKind::Exponent)) {
            push(TokenKind::Slash, '/');
            ++i_;
            if (i_ < text_.size() && text_[i_] >= '1' && text_[i_] <= '9') {
                long denominator = 0;
                while (i_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i_]))) {
                    if (denominator < 100000000) denominator = denominator * 10 + (text_[i_] - '0');
                    ++i_;
                }
                push(TokenKind::FixedDenominator);
                section_.tokens.back().number = denominator;
            }
        } else if (c == '@') {
            push(TokenKind::TextValue);
            section_.holdsText = true;
            ++i_;
        } else if (startsWithNoCase(text_, i_, kGeneralWord)) {
            push(TokenKind::General);
            section_.hasGeneral = true;
            i_ += kGeneralWord.size();
        } else {
            takeLiteralChar();
        }
    }

    void parseDateChar() {
        const char c = text_[i_];
        const char l = lower(c);
        if (text_.substr(i_, kChineseAmPm.size()) == kChineseAmPm) {
            pushAmPm(kChineseAmPm.size());
            return;
        }
        if (startsWithNoCase(text_, i_, "am/pm")) {
            pushAmPm(5);
            return;
        }
        if (startsWithNoCase(text_, i_, "a/p")) {
            pushAmPm(3);
            return;
        }
        const size_t run = runLength(text_, i_, l);
        switch (l) {
            case 'y':
                push(run <= 2 ? TokenKind::YearShort : TokenKind::YearLong);
                break;
            case 'e':
                push(TokenKind::YearLong);
                break;
            case 'b':
                // B1 and B2 choose the Gregorian or the Hijri calendar.
                if (run == 1 && i_ + 1 < text_.size() && (text_[i_ + 1] == '1' || text_[i_ + 1] == '2')) {
                    section_.hijri = text_[i_ + 1] == '2';
                    i_ += 2;
                    return;
                }
                push(run <= 2 ? TokenKind::BuddhistYearShort : TokenKind::BuddhistYearLong);
                break;
            case 'm':
                // Five m's show the initial; six and more the full name again.
                push(run == 1   ? TokenKind::Month
                     : run == 2 ? TokenKind::MonthPadded
                     : run == 3 ? TokenKind::MonthAbbr
                     : run == 5 ? TokenKind::MonthLetter
                                : TokenKind::MonthFull);
                break;
            case 'd':
                push(run == 1   ? TokenKind::Day
                     : run == 2 ? TokenKind::DayPadded
                     : run == 3 ? TokenKind::WeekdayAbbr
                                : TokenKind::WeekdayFull);
                break;
            case 'h':
                push(run == 1 ? TokenKind::Hour : TokenKind::HourPadded);
                break;
            case 's':
                push(run == 1 ? TokenKind::Second : TokenKind::SecondPadded);
                break;
            case 'a':
                if (run >= 3) {
                    push(run == 3 ? TokenKind::WeekdayChineseShort : TokenKind::WeekdayChineseFull);
                    break;
                }
                takeLiteralChar();
                return;
            case '.':
                if (i_ + 1 < text_.size() && text_[i_ + 1] == '0' && hasTimeBefore()) {
                    const size_t zeros = runLength(text_, i_ + 1, '0');
                    push(TokenKind::SubSecond, '0',
                         static_cast<int>(zeros < kMaxSubSecondDigits ? zeros : kMaxSubSecondDigits));
                    i_ += 1 + zeros;
                    return;
                }
                takeLiteralChar();
                return;
            default:
                takeLiteralChar();
                return;
        }
        i_ += run;
    }

    // Fractions of a second may follow seconds, or hours alone (hh.000).
    bool hasTimeBefore() const {
        return hasToken(TokenKind::Second) || hasToken(TokenKind::SecondPadded) ||
               hasToken(TokenKind::ElapsedSeconds) || hasToken(TokenKind::Hour) || hasToken(TokenKind::HourPadded) ||
               hasToken(TokenKind::ElapsedHours) || hasToken(TokenKind::ElapsedMinutes);
    }

    void pushAmPm(size_t length) {
        push(TokenKind::AmPm);
        section_.tokens.back().text = std::string(text_.substr(i_, length));
        i_ += length;
    }
};

}  // namespace

void parseSection(std::string_view text, Section &section) { SectionParser(text, section).parse(); }

}  // namespace automation::numfmt
