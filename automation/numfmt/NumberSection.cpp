// SPDX-License-Identifier: Apache-2.0
// Number sections: plain, exponent and fraction layouts.
#include "automation/numfmt/GeneralFormat.h"
#include "automation/numfmt/SectionRenderers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace automation::numfmt {

namespace {

// Larger numerators than this are not searched for a best denominator.
constexpr double kLargestFractionValue = 1e15;
// Continued fractions of doubles end well within this many terms.
constexpr int kMaxContinuedFractionSteps = 64;
// A remainder this small means the fraction is exact.
constexpr double kExactFractionTolerance = 1e-12;

struct DigitText {
    std::string integer;
    std::string fraction;
    int lastSignificantFraction = 0;  // 1-based; 0 when all fraction digits are zero
    std::string exponent;
    int exponentValue = 0;
    std::string whole;
    std::string numerator;
    std::string denominator;     // already laid out for its placeholders
    bool blankFraction = false;  // whole number only: the fraction shows as spaces
    bool shownZero = false;      // every digit shown is zero
};

// Whether the section shows the number at all (a placeholder or General).
bool showsDigits(const Section &section) {
    if (section.hasGeneral) return false;  // General shows the smallest magnitudes in exponent form, never as zero
    for (const Token &token : section.tokens) {
        if (token.kind == TokenKind::Digit || token.kind == TokenKind::DecimalPoint) return true;
    }
    return false;
}

void emitGroupedDigit(char digit, int place, bool thousands, std::string &out) {
    out.push_back(digit);
    if (thousands && place > 0 && place % 3 == 0) out.push_back(',');
}

// A right-aligned placeholder; the leftmost one takes every extra digit.
void emitAligned(const Token &token, int groupCount, const std::string &digits, bool thousands, std::string &out) {
    const int length = static_cast<int>(digits.size());
    const int place = token.place;
    if (place == groupCount - 1) {
        for (int q = length - 1; q > place; --q)
            emitGroupedDigit(digits[static_cast<size_t>(length - 1 - q)], q, thousands, out);
    }
    if (place < length) {
        emitGroupedDigit(digits[static_cast<size_t>(length - 1 - place)], place, thousands, out);
    } else if (token.symbol == '0') {
        emitGroupedDigit('0', place, thousands, out);
    } else if (token.symbol == '?') {
        out.push_back(' ');
    }
}

void emitFractionDigit(const Token &token, const DigitText &digits, std::string &out) {
    const int index = token.place;
    if (index <= digits.lastSignificantFraction) {
        out.push_back(digits.fraction[static_cast<size_t>(index - 1)]);
    } else if (token.symbol == '0') {
        out.push_back('0');
    } else if (token.symbol == '?') {
        out.push_back(' ');
    }
}

size_t displayWidth(const std::string &text) {
    size_t width = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++width;
    }
    return width;
}

void emitTokens(const Section &section, const DecimalDigits &scaled, const DigitText &digits, std::string &out) {
    const int integerCount = section.groupCount(DigitGroup::Integer);
    bool blanking = false;
    int lastWholeIndex = -1;
    int lastDenominatorIndex = -1;
    // A blank fraction keeps its width only when written with ? placeholders.
    bool blankKeepsWidth = false;
    for (size_t k = 0; k < section.tokens.size(); ++k) {
        const Token &token = section.tokens[k];
        if ((token.group == DigitGroup::Numerator || token.group == DigitGroup::Denominator) && token.symbol == '?')
            blankKeepsWidth = true;
        if (section.tokens[k].group == DigitGroup::Whole) lastWholeIndex = static_cast<int>(k);
        if (section.tokens[k].group == DigitGroup::Denominator || section.tokens[k].kind == TokenKind::FixedDenominator)
            lastDenominatorIndex = static_cast<int>(k);
    }
    for (size_t k = 0; k < section.tokens.size(); ++k) {
        const Token &token = section.tokens[k];
        const int index = static_cast<int>(k);
        if (digits.blankFraction) {
            blanking = index > lastWholeIndex && index <= lastDenominatorIndex;
        }
        if (blanking) {
            if (!blankKeepsWidth) continue;
            if (token.kind == TokenKind::Literal)
                out.append(displayWidth(token.text), ' ');
            else if (token.kind == TokenKind::FixedDenominator)
                out.append(std::to_string(token.number).size(), ' ');
            else if (token.kind == TokenKind::Digit || token.kind == TokenKind::Slash)
                out.push_back(' ');
            continue;
        }
        switch (token.kind) {
            case TokenKind::Literal:
                out += token.text;
                break;
            case TokenKind::Digit:
                switch (token.group) {
                    case DigitGroup::Integer:
                        emitAligned(token, integerCount, digits.integer, section.thousands, out);
                        break;
                    case DigitGroup::Fraction:
                        emitFractionDigit(token, digits, out);
                        break;
                    case DigitGroup::ExponentDigits:
                        emitAligned(token, section.groupCount(DigitGroup::ExponentDigits), digits.exponent, false, out);
                        break;
                    case DigitGroup::Whole:
                        emitAligned(token, section.groupCount(DigitGroup::Whole), digits.whole, section.thousands, out);
                        break;
                    case DigitGroup::Numerator:
                        emitAligned(token, section.groupCount(DigitGroup::Numerator), digits.numerator, false, out);
                        break;
                    case DigitGroup::Denominator:
                        if (token.place == 1) out += digits.denominator;
                        break;
                    case DigitGroup::None:
                        break;
                }
                break;
            case TokenKind::DecimalPoint:
                if (integerCount == 0) {
                    // No integer placeholders: the integer digits still lead the point.
                    for (size_t d = 0; d < digits.integer.size(); ++d)
                        emitGroupedDigit(digits.integer[d], static_cast<int>(digits.integer.size() - 1 - d),
                                         section.thousands, out);
                }
                out.push_back('.');
                break;
            case TokenKind::Percent:
                out.push_back('%');
                break;
            case TokenKind::Exponent:
                out.push_back(token.symbol);
                if (digits.exponentValue < 0)
                    out.push_back('-');
                else if (token.width == 1)
                    out.push_back('+');
                break;
            case TokenKind::Slash:
                out.push_back('/');
                break;
            case TokenKind::FixedDenominator:
                out += digits.denominator;
                break;
            case TokenKind::General:
                appendGeneralMagnitude(scaled, out);
                break;
            default:
                // Grouping and scaling commas show nothing; @ has no text here.
                break;
        }
    }
}

void splitPlain(const Section &section, const DecimalDigits &scaled, DigitText &digits) {
    const int fractionCount = section.groupCount(DigitGroup::Fraction);
    const DecimalDigits rounded = roundToPlaces(scaled, fractionCount);
    splitDigits(rounded, fractionCount, digits.integer, digits.fraction);
    for (int i = fractionCount; i > 0; --i) {
        if (digits.fraction[static_cast<size_t>(i - 1)] != '0') {
            digits.lastSignificantFraction = i;
            break;
        }
    }
    digits.shownZero = rounded.isZero();
}

int floorDivide(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

void splitExponent(const Section &section, const DecimalDigits &scaled, DigitText &digits) {
    const int integerCount = section.groupCount(DigitGroup::Integer);
    const int fractionCount = section.groupCount(DigitGroup::Fraction);
    // Several integer placeholders make the exponent a multiple of their
    // count; zeros among them pad the mantissa (00.E+00 shows 9 as 09.E+00).
    const bool engineering = integerCount > 1;
    // Without integer placeholders the mantissa is below one (.12E+05).
    const int mantissaDigits = integerCount;
    const int step = engineering ? integerCount : 1;
    DecimalDigits mantissa = scaled;
    int exponent = 0;
    if (!scaled.isZero()) {
        const int leading = scaled.pointPos - 1;
        exponent = engineering ? floorDivide(leading, integerCount) * integerCount : leading - mantissaDigits + 1;
        mantissa = roundToPlaces(shiftPoint(scaled, -exponent), fractionCount);
        if (mantissa.pointPos > mantissaDigits) {
            // Rounding carried into a new digit (9.99 -> 10.0): move the exponent.
            exponent += step;
            mantissa = roundToPlaces(shiftPoint(scaled, -exponent), fractionCount);
        }
    }
    DecimalDigits plain = mantissa;
    splitDigits(plain, fractionCount, digits.integer, digits.fraction);
    for (int i = fractionCount; i > 0; --i) {
        if (digits.fraction[static_cast<size_t>(i - 1)] != '0') {
            digits.lastSignificantFraction = i;
            break;
        }
    }
    digits.shownZero = mantissa.isZero();
    digits.exponentValue = exponent;
    digits.exponent = std::to_string(std::abs(exponent));
    if (exponent == 0 && section.groupCount(DigitGroup::ExponentDigits) > 0) digits.exponent = "0";
}

// The fraction closest to x (not negative) with a denominator up to `largest`,
// from the continued fraction of x and its last semiconvergent.
void bestFraction(double x, long largest, double &numerator, long &denominator) {
    double h0 = 0, h1 = 1;  // numerators of the two latest convergents
    long k0 = 1, k1 = 0;    // their denominators
    double rest = x;
    for (int step = 0; step < kMaxContinuedFractionSteps; ++step) {
        const double term = std::floor(rest);
        const double h2 = term * h1 + h0;
        const double k2Exact = term * static_cast<double>(k1) + static_cast<double>(k0);
        if (k2Exact > static_cast<double>(largest)) {
            const long count = (largest - k0) / k1;
            const double hs = h0 + static_cast<double>(count) * h1;
            const long ks = k0 + count * k1;
            if (std::fabs(x - hs / static_cast<double>(ks)) < std::fabs(x - h1 / static_cast<double>(k1))) {
                h1 = hs;
                k1 = ks;
            }
            break;
        }
        h0 = h1;
        k0 = k1;
        h1 = h2;
        k1 = static_cast<long>(k2Exact);
        const double remainder = rest - term;
        if (remainder < kExactFractionTolerance) break;
        rest = 1.0 / remainder;
    }
    numerator = h1;
    denominator = k1;
}

std::string integerText(double value) {
    std::string integer;
    std::string unused;
    splitDigits(roundToPlaces(toDecimal(value), 0), 0, integer, unused);
    return integer;
}

void splitFraction(const Section &section, const DecimalDigits &scaled, DigitText &digits) {
    const double x = toDouble(scaled);
    const bool hasWhole = section.groupCount(DigitGroup::Whole) > 0;
    double whole = 0;
    double part = x;
    if (hasWhole) {
        whole = std::floor(x);
        part = x - whole;
    }
    long fixedDenominator = 0;
    for (const Token &token : section.tokens) {
        if (token.kind == TokenKind::FixedDenominator) fixedDenominator = token.number;
    }
    double numerator = 0;
    long denominator = 1;
    if (fixedDenominator > 0) {
        denominator = fixedDenominator;
        numerator = std::round(part * static_cast<double>(denominator));
    } else if (part < kLargestFractionValue) {
        int places = section.groupCount(DigitGroup::Denominator);
        if (places < 1) places = 1;
        if (places > kMaxDenominatorDigits) places = kMaxDenominatorDigits;
        long largest = 1;
        for (int i = 0; i < places; ++i) largest *= 10;
        bestFraction(part, largest - 1, numerator, denominator);
    } else {
        numerator = std::round(part);
    }
    if (hasWhole && numerator >= static_cast<double>(denominator)) {
        whole += 1;
        numerator = 0;
    }
    // A zero in the numerator shows the empty fraction as 0/1; ? and # blank it.
    bool numeratorZeroPad = false;
    for (const Token &token : section.tokens)
        numeratorZeroPad = numeratorZeroPad || (token.group == DigitGroup::Numerator && token.symbol == '0');
    if (hasWhole) {
        digits.whole = integerText(whole);
        if (numerator == 0 && !numeratorZeroPad) {
            digits.blankFraction = true;
            if (digits.whole.empty()) digits.whole = "0";
        }
    }
    digits.shownZero = numerator == 0 && whole == 0;
    digits.numerator = integerText(numerator);
    if (digits.numerator.empty()) digits.numerator = "0";
    std::string denominatorText = std::to_string(denominator);
    // Denominators align left and pad with spaces, unless written with zeros.
    const int places = std::min(section.groupCount(DigitGroup::Denominator), kMaxDenominatorDigits);
    int padding = places - static_cast<int>(denominatorText.size());
    bool zeroPad = false;
    bool spacePad = false;
    for (const Token &token : section.tokens) {
        if (token.group == DigitGroup::Denominator) {
            zeroPad = zeroPad || token.symbol == '0';
            spacePad = spacePad || token.symbol == '?';
        }
    }
    if (padding > 0 && zeroPad)
        denominatorText.insert(0, static_cast<size_t>(padding), '0');
    else if (padding > 0 && spacePad)
        denominatorText.append(static_cast<size_t>(padding), ' ');
    digits.denominator = std::move(denominatorText);
}

}  // namespace

void renderNumberSection(const Section &section, const DecimalDigits &magnitude, bool showMinus, std::string &out) {
    const DecimalDigits scaled = shiftPoint(magnitude, section.pointShift);
    DigitText digits;
    if (section.hasFraction)
        splitFraction(section, scaled, digits);
    else if (section.hasExponent)
        splitExponent(section, scaled, digits);
    else
        splitPlain(section, scaled, digits);
    // A negative number that shows as zero shows no sign: -0.001 under 0.00 is 0.00.
    if (showMinus && !(digits.shownZero && showsDigits(section))) out.push_back('-');
    emitTokens(section, scaled, digits, out);
}

}  // namespace automation::numfmt
