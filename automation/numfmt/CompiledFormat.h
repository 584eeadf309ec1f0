// SPDX-License-Identifier: Apache-2.0
// A number format code parsed once into sections of tokens, so that
// rendering a value only walks a short token list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace automation::numfmt {

// Sections of a code: positive; negative; zero; text.
constexpr int kMaxSections = 4;
// Denominator placeholders past this many are ignored ("# ??/?????????"
// looks for denominators of up to seven digits).
constexpr int kMaxDenominatorDigits = 7;
// Fractions of a second shown after seconds (".000").
constexpr int kMaxSubSecondDigits = 3;
// What the spreadsheet application shows for a value its format cannot show
// (a negative date, an unmatched condition).
constexpr const char *kUnshowableText = "########";

enum class TokenKind : uint8_t {
    Literal,
    Digit,  // placeholder '0', '#' or '?' in `symbol`
    DecimalPoint,
    ThousandsMarker,  // a comma between placeholders; shown through grouping
    ScaleMarker,      // a trailing comma: divides by 1000, shows nothing
    Percent,
    Exponent,          // `symbol` 'E' or 'e'; `width` 1 when the plus sign is shown
    Slash,             // fraction bar
    FixedDenominator,  // `number` holds the denominator
    TextValue,         // @
    General,
    YearShort,
    YearLong,
    BuddhistYearShort,  // b, bb: the Buddhist era year, two digits
    BuddhistYearLong,   // bbb, bbbb
    Month,
    MonthPadded,
    MonthAbbr,
    MonthFull,
    MonthLetter,
    Day,
    DayPadded,
    WeekdayAbbr,
    WeekdayFull,
    WeekdayChineseShort,  // aaa
    WeekdayChineseFull,   // aaaa
    Hour,
    HourPadded,
    Minute,
    MinutePadded,
    Second,
    SecondPadded,
    ElapsedHours,  // `width` digits at least
    ElapsedMinutes,
    ElapsedSeconds,
    SubSecond,  // `width` digits
    AmPm,       // `text` holds "AM/PM", "a/p", "上午/下午"...
};

// Where a digit placeholder belongs.
enum class DigitGroup : uint8_t { None, Integer, Fraction, ExponentDigits, Whole, Numerator, Denominator };

struct Token {
    TokenKind kind = TokenKind::Literal;
    char symbol = 0;
    uint8_t width = 0;
    DigitGroup group = DigitGroup::None;
    int place = 0;  // integer-like groups: from the right, 0 first; fraction: from the point, 1 first
    long number = 0;
    std::string text;
};

enum class SectionKind : uint8_t { Number, Date, Text };

enum class ConditionOp : uint8_t { None, Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };

struct Section {
    SectionKind kind = SectionKind::Number;
    ConditionOp conditionOp = ConditionOp::None;
    double conditionValue = 0.0;
    std::vector<Token> tokens;

    // Locale id from a [$-xxx] tag; 0 when none.
    unsigned locale = 0;
    // 1 or 2 for Chinese numerals ([DBNum1], [DBNum2]), 3 for full-width digits.
    int chineseNumerals = 0;

    // Number layout.
    int pointShift = 0;  // decimal exponent added by % and trailing commas
    bool thousands = false;
    bool hasExponent = false;
    bool hasFraction = false;
    bool hasGeneral = false;
    int count[7] = {};  // placeholders per DigitGroup

    // Date layout.
    bool twelveHour = false;
    int subSecondDigits = 0;
    bool hasDateOrTime = false;
    bool hijri = false;  // B2: years, months and days of the Hijri calendar

    bool holdsText = false;  // has @

    int groupCount(DigitGroup group) const { return count[static_cast<int>(group)]; }
    bool matches(double value) const;
};

struct CompiledFormat {
    std::vector<Section> sections;
    bool isGeneral = false;  // the whole code is General (or empty)
    int textSection = -1;    // index of the section applied to text, -1 when none
    int numberSections = 0;  // the sections before the text section
};

// Parses a code; never fails: unknown characters become literals.
CompiledFormat compileFormat(std::string_view code);

// The compiled form of a code from a small thread-safe cache.
std::shared_ptr<const CompiledFormat> cachedFormat(std::string_view code);

}  // namespace automation::numfmt
