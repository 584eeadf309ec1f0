// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/SectionLayout.h"

namespace automation::numfmt {

namespace {

bool isBlankLiteral(const Token &token) {
    return token.kind == TokenKind::Literal && !token.text.empty() &&
           token.text.find_first_not_of(' ') == std::string::npos;
}

// Fraction bar first: the run before it is the numerator, earlier placeholders
// the whole part; otherwise the point and the exponent split the placeholders.
void assignDigitGroups(Section &section) {
    std::vector<Token> &tokens = section.tokens;
    const size_t none = tokens.size();
    size_t point = none, exponent = none, slash = none;
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].kind == TokenKind::DecimalPoint && point == none) point = k;
        if (tokens[k].kind == TokenKind::Exponent) exponent = k;
        if (tokens[k].kind == TokenKind::Slash) slash = k;
    }
    section.hasExponent = exponent != none;
    section.hasFraction = slash != none;
    if (section.hasFraction) {
        // Spaces may stand on either side of the bar ("?? / ??").
        size_t numeratorEnd = slash;
        while (numeratorEnd > 0 && isBlankLiteral(tokens[numeratorEnd - 1])) --numeratorEnd;
        size_t numeratorStart = numeratorEnd;
        while (numeratorStart > 0 && tokens[numeratorStart - 1].kind == TokenKind::Digit) --numeratorStart;
        for (size_t k = 0; k < slash; ++k) {
            if (tokens[k].kind == TokenKind::Digit)
                tokens[k].group = k >= numeratorStart ? DigitGroup::Numerator : DigitGroup::Whole;
        }
        size_t denominatorStart = slash + 1;
        while (denominatorStart < tokens.size() && isBlankLiteral(tokens[denominatorStart])) ++denominatorStart;
        for (size_t k = denominatorStart; k < tokens.size() && tokens[k].kind == TokenKind::Digit; ++k)
            tokens[k].group = DigitGroup::Denominator;
    } else {
        for (size_t k = 0; k < tokens.size(); ++k) {
            if (tokens[k].kind != TokenKind::Digit) continue;
            if (k > exponent)
                tokens[k].group = DigitGroup::ExponentDigits;
            else if (k > point)
                tokens[k].group = DigitGroup::Fraction;
            else
                tokens[k].group = DigitGroup::Integer;
        }
    }
    for (const Token &token : tokens) ++section.count[static_cast<int>(token.group)];
    // Places: integer-like groups count from the right, the others from the left.
    int seen[7] = {};
    for (Token &token : tokens) {
        if (token.kind != TokenKind::Digit || token.group == DigitGroup::None) continue;
        const int g = static_cast<int>(token.group);
        const bool fromLeft = token.group == DigitGroup::Fraction || token.group == DigitGroup::Denominator;
        token.place = fromLeft ? seen[g] + 1 : section.count[g] - 1 - seen[g];
        ++seen[g];
    }
    // Placeholders the layout has no use for are shown as written.
    for (Token &token : tokens) {
        if (token.kind == TokenKind::Digit && token.group == DigitGroup::None) {
            token.kind = TokenKind::Literal;
            token.text = std::string(1, token.symbol);
        }
    }
}

bool isHourToken(TokenKind kind) {
    return kind == TokenKind::Hour || kind == TokenKind::HourPadded || kind == TokenKind::ElapsedHours;
}

bool isSecondToken(TokenKind kind) {
    return kind == TokenKind::Second || kind == TokenKind::SecondPadded || kind == TokenKind::ElapsedSeconds;
}

bool isDateTimeToken(TokenKind kind) { return kind >= TokenKind::YearShort && kind <= TokenKind::SubSecond; }

// A/P alone is a time code too (0.7 shows P).
bool showsDateOrTime(TokenKind kind) { return isDateTimeToken(kind) || kind == TokenKind::AmPm; }

}  // namespace

void layoutNumberSection(Section &section) {
    std::vector<Token> &tokens = section.tokens;
    bool pastPoint = false;
    for (size_t k = 0; k < tokens.size(); ++k) {
        Token &token = tokens[k];
        if (token.kind == TokenKind::DecimalPoint || token.kind == TokenKind::Exponent ||
            token.kind == TokenKind::Slash)
            pastPoint = true;
        if (token.kind == TokenKind::Percent) section.pointShift += 2;
        if (token.kind != TokenKind::Literal || token.symbol != ',') continue;
        const bool digitBefore = k > 0 && tokens[k - 1].kind == TokenKind::Digit;
        const bool scaleBefore = k > 0 && tokens[k - 1].kind == TokenKind::ScaleMarker;
        const bool digitAfter = k + 1 < tokens.size() && tokens[k + 1].kind == TokenKind::Digit;
        if (digitBefore && digitAfter) {
            token.kind = TokenKind::ThousandsMarker;
            if (!pastPoint) section.thousands = true;
        } else if ((digitBefore || scaleBefore) && !digitAfter) {
            token.kind = TokenKind::ScaleMarker;
            section.pointShift -= 3;
        }
    }
    assignDigitGroups(section);
}

void layoutDateSection(Section &section) {
    std::vector<Token> &tokens = section.tokens;
    // m and mm mean minutes right after hours or right before seconds.
    for (size_t k = 0; k < tokens.size(); ++k) {
        Token &token = tokens[k];
        if (token.kind != TokenKind::Month && token.kind != TokenKind::MonthPadded) continue;
        bool minute = false;
        for (size_t b = k; b-- > 0;) {
            if (isDateTimeToken(tokens[b].kind)) {
                minute = isHourToken(tokens[b].kind);
                break;
            }
        }
        for (size_t a = k + 1; !minute && a < tokens.size(); ++a) {
            if (isDateTimeToken(tokens[a].kind)) {
                minute = isSecondToken(tokens[a].kind);
                break;
            }
        }
        if (minute) token.kind = token.kind == TokenKind::Month ? TokenKind::Minute : TokenKind::MinutePadded;
    }
    for (const Token &token : tokens) {
        if (token.kind == TokenKind::AmPm) section.twelveHour = true;
        if (token.kind == TokenKind::SubSecond && token.width > section.subSecondDigits)
            section.subSecondDigits = token.width;
        if (showsDateOrTime(token.kind)) section.hasDateOrTime = true;
    }
}

}  // namespace automation::numfmt
