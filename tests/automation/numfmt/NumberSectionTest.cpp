// SPDX-License-Identifier: Apache-2.0
#include "DisplayCase.h"

#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using automation::numfmt::formatNumber;

namespace {

class NumberDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(NumberDisplay, ShowsAsTheSpreadsheetDoes) {
    const DisplayCase &c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.code, c.date1904), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Placeholders, NumberDisplay,
    ::testing::Values(DisplayCase{1.5, "0", "2"}, DisplayCase{2.5, "0", "3"}, DisplayCase{-2.5, "0", "-3"},
                      DisplayCase{-0.4, "0", "0"}, DisplayCase{3.1, "0.00", "3.10"}, DisplayCase{2.675, "0.00", "2.68"},
                      DisplayCase{1.005, "0.00", "1.01"}, DisplayCase{-0.0001, "0.000", "0.000"},
                      DisplayCase{0.5, "0.00", "0.50"}, DisplayCase{0.5, "#.00", ".50"}, DisplayCase{5, "#.##", "5."},
                      DisplayCase{0.5, "#.##", ".5"}, DisplayCase{1.25, "0.#", "1.3"}, DisplayCase{1.5, "0.###", "1.5"},
                      DisplayCase{0, "#", ""}, DisplayCase{0, "0", "0"}, DisplayCase{123, "00000", "00123"},
                      DisplayCase{5551234, "000-0000", "555-1234"}, DisplayCase{1.5, "0.0?", "1.5 "},
                      DisplayCase{1.5, "??.??", " 1.5 "}, DisplayCase{12.5, ".00", "12.50"},
                      DisplayCase{1e20, "0", "100000000000000000000"},
                      DisplayCase{123456789012345678.0, "0", "123456789012346000"}, DisplayCase{3.1, "0.00_ ", "3.10 "},
                      DisplayCase{3.1, "0.00\"元\"", "3.10元"}, DisplayCase{3.1, "0.00 元", "3.10 元"},
                      DisplayCase{42, "\"No. \"0", "No. 42"}, DisplayCase{42, "\\#0", "#42"},
                      DisplayCase{7, "0*-", "7"}, DisplayCase{7, "**0", "7"}));

INSTANTIATE_TEST_SUITE_P(
    GroupingAndScaling, NumberDisplay,
    ::testing::Values(DisplayCase{1234567, "#,##0", "1,234,567"}, DisplayCase{-1234.5, "#,##0.00", "-1,234.50"},
                      DisplayCase{0, "#,##0", "0"}, DisplayCase{999.5, "#,##0", "1,000"},
                      DisplayCase{123, "#,##0", "123"}, DisplayCase{1234, "#,###", "1,234"},
                      DisplayCase{5, "0,000", "0,005"}, DisplayCase{123456789, "#,##0.00", "123,456,789.00"},
                      DisplayCase{12345, "0.0,", "12.3"}, DisplayCase{1234567, "#,##0,", "1,235"},
                      DisplayCase{123456789, "0.0,,", "123.5"}, DisplayCase{1234567, "#,##0,\"K\"", "1,235K"},
                      DisplayCase{-1234567, "#,##0.0,,\"M\"", "-1.2M"}, DisplayCase{0.125, "0%", "13%"},
                      DisplayCase{0.12345, "0.00%", "12.35%"}, DisplayCase{-0.5, "0%", "-50%"},
                      DisplayCase{1, "0%", "100%"}, DisplayCase{0.001, "0.0%", "0.1%"},
                      DisplayCase{12.5, "#,##0.0%", "1,250.0%"}));

INSTANTIATE_TEST_SUITE_P(
    Exponent, NumberDisplay,
    ::testing::Values(DisplayCase{12345, "0.00E+00", "1.23E+04"}, DisplayCase{0.00012345, "0.00E+00", "1.23E-04"},
                      DisplayCase{0, "0.00E+00", "0.00E+00"}, DisplayCase{12345, "##0.0E+0", "12.3E+3"},
                      DisplayCase{0.0012345, "##0.0E+0", "1.2E-3"}, DisplayCase{1234567, "##0.0E+0", "1.2E+6"},
                      DisplayCase{12345, "0.00E-00", "1.23E04"}, DisplayCase{0.012, "0.00E-00", "1.20E-02"},
                      DisplayCase{9.999, "0.00E+00", "1.00E+01"}, DisplayCase{-12345, "0.0E+00", "-1.2E+04"},
                      DisplayCase{1e100, "0.00E+00", "1.00E+100"}, DisplayCase{12345, "0E+0", "1E+4"},
                      DisplayCase{12345, "00.00E+00", "01.23E+04"}, DisplayCase{12345, "0.00e+00", "1.23e+04"}));

INSTANTIATE_TEST_SUITE_P(Fractions, NumberDisplay,
                         ::testing::Values(DisplayCase{1.5, "# ?/?", "1 1/2"}, DisplayCase{0.333, "# ?/?", " 1/3"},
                                           DisplayCase{3.14159265358979, "# ?\?/??", "3 14/99"},
                                           DisplayCase{3.14159265358979, "# ??\?/???", "3  16/113"},
                                           DisplayCase{1.5, "?/?", "3/2"}, DisplayCase{2.3, "# ?/4", "2 1/4"},
                                           DisplayCase{5, "# ?/?", "5    "}, DisplayCase{0.99, "# ?/?", "1    "},
                                           DisplayCase{-1.25, "# ?/?", "-1 1/4"},
                                           DisplayCase{0.75, "# ?\?/??", "  3/4 "}, DisplayCase{2.5, "0 0/0", "2 1/2"},
                                           DisplayCase{0.2, "?/10", "2/10"}, DisplayCase{0.5, "# ?/8", " 4/8"},
                                           DisplayCase{1234.75, "#,##0 ?/?", "1,234 3/4"}));

INSTANTIATE_TEST_SUITE_P(
    Sections, NumberDisplay,
    ::testing::Values(DisplayCase{-3.1, "0.00;(0.00)", "(3.10)"}, DisplayCase{3.1, "0.00;(0.00)", "3.10"},
                      DisplayCase{0, "0.00;(0.00)", "0.00"}, DisplayCase{0, "0;-0;\"zero\"", "zero"},
                      DisplayCase{-5, "0;-0;\"zero\"", "-5"}, DisplayCase{-5, "0;;", ""}, DisplayCase{5, ";;;", ""},
                      DisplayCase{-0.001, "0.00;[Red]0.00", "0.00"}, DisplayCase{-1, "[Red]0.00", "-1.00"},
                      DisplayCase{-1234, "[Blue]#,##0;[Red]-#,##0", "-1,234"},
                      DisplayCase{-1234, "#,##0;[Red]#,##0", "1,234"}, DisplayCase{5, "0_);(0)", "5 "},
                      DisplayCase{-5, "0_);(0)", "(5)"}, DisplayCase{-5, "\"$\"#,##0.00", "-$5.00"},
                      DisplayCase{1234, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", " 1,234 "},
                      DisplayCase{0, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", " - "},
                      DisplayCase{-1234, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", " (1,234)"},
                      DisplayCase{5, "@", "5"}, DisplayCase{5.25, "0.0;@", "5.3"},
                      DisplayCase{1234.5, "[$¥-804]#,##0.00", "¥1,234.50"}, DisplayCase{-7, "[$€-407]0", "-€7"},
                      DisplayCase{5, "\"$\"General", "$5"}, DisplayCase{-0.5, "General;(General)", "(0.5)"},
                      DisplayCase{5, "0;-0;0;@", "5"}));

INSTANTIATE_TEST_SUITE_P(
    Conditions, NumberDisplay,
    ::testing::Values(DisplayCase{150, "[>=100]\"big\";[<0]\"neg\";\"small\"", "big"},
                      DisplayCase{-5, "[>=100]\"big\";[<0]\"neg\";\"small\"", "neg"},
                      DisplayCase{50, "[>=100]\"big\";[<0]\"neg\";\"small\"", "small"},
                      DisplayCase{5551234, "[<=9999999]###-####;(###) ###-####", "555-1234"},
                      DisplayCase{8005551234, "[<=9999999]###-####;(###) ###-####", "(800) 555-1234"},
                      DisplayCase{-5, "[<0]0;0", "5"}, DisplayCase{-150, "[<=-100]0;0", "150"},
                      DisplayCase{-5, "[>=100]0.0;0", "5"}, DisplayCase{1, "[=1]\"one\";0", "one"},
                      DisplayCase{2, "[=1]\"one\";0", "2"}, DisplayCase{1e3, "[>= 1e3]\"k\";0", "k"},
                      DisplayCase{0.5, "[<0.75]\"low\";\"high\"", "low"},
                      DisplayCase{0.8, "[<0.75]\"low\";\"high\"", "high"}, DisplayCase{3, "[<>3]0;\"three\"", "three"},
                      DisplayCase{5, "[>100]0;[<-100]0", "########"},
                      DisplayCase{1500, "[>=1000]#,##0.0,\"K\";0", "1.5K"}));

// A negative number that rounds to zero shows no minus sign of its own; a
// sign the code writes stays, and so does the sign of a number shown non-zero.
INSTANTIATE_TEST_SUITE_P(NegativeShownAsZero, NumberDisplay,
                         ::testing::Values(DisplayCase{-0.001, "0", "0"}, DisplayCase{-0.001, "0.00", "0.00"},
                                           DisplayCase{-42, "#,##0,", "0"}, DisplayCase{-1234.5, "0.0,,\"M\"", "0.0M"},
                                           DisplayCase{-0.001, "$#,##0.00", "$0.00"}, DisplayCase{-0.0004, "0%", "0%"},
                                           DisplayCase{-0.001, "#", ""}, DisplayCase{-0.001, "-0.0", "-0.0"},
                                           DisplayCase{-0.001, "0;-0", "-0"}, DisplayCase{-0.05, "0.0", "-0.1"},
                                           DisplayCase{-0.004, "0%", "0%"}, DisplayCase{-0.006, "0%", "-1%"},
                                           DisplayCase{-0.001, "0.00E+00", "-1.00E-03"},
                                           DisplayCase{-1e-20, "General", "-1E-20"},
                                           DisplayCase{-0.001, "[DBNum1]0", "〇"}, DisplayCase{-0.01, "# ?/?", "0    "},
                                           DisplayCase{-0.01, "?/?", "0/1"}, DisplayCase{-0.3, "# ?/?", "- 2/7"},
                                           DisplayCase{-1.01, "# ?/?", "-1    "},
                                           DisplayCase{-0.001, "\"due \"0", "due 0"},
                                           DisplayCase{-1, "\"due\"", "-due"}));

// Fractions written with 0 or # placeholders: a zero numerator placeholder
// shows the empty fraction as 0/1, # ones leave it out, ? ones blank it.
INSTANTIATE_TEST_SUITE_P(FractionPlaceholders, NumberDisplay,
                         ::testing::Values(DisplayCase{1234, "0 0/0", "1234 0/1"}, DisplayCase{0, "0 0/0", "0 0/1"},
                                           DisplayCase{2.5, "0 0/0", "2 1/2"}, DisplayCase{1234, "# #/#", "1234"},
                                           DisplayCase{1234.5, "# #/#", "1234 1/2"}, DisplayCase{0, "# #/#", "0"},
                                           DisplayCase{1234, "# ?/?", "1234    "},
                                           DisplayCase{2.75, "0 00/00", "2 03/04"}, DisplayCase{2.75, "# ?/4", "2 3/4"},
                                           DisplayCase{3, "# #/4", "3"}, DisplayCase{3, "# 0/4", "3 0/4"},
                                           DisplayCase{0.3, "# ?? / ??", "  3 / 10"},
                                           DisplayCase{1.5, "?? / ?", " 3 / 2"},
                                           DisplayCase{0.123251512342345, "# ?\?/???????", " 480894/3901729"}));

// Several integer placeholders: the exponent is a multiple of their count and
// zeros among them pad the mantissa.
INSTANTIATE_TEST_SUITE_P(
    ExponentPlaceholders, NumberDisplay,
    ::testing::Values(DisplayCase{9, "00.E+00", "09.E+00"}, DisplayCase{100, "00.E+00", "01.E+02"},
                      DisplayCase{12345.67, "000E+00", "012E+03"}, DisplayCase{12345, "00.00E+00", "01.23E+04"},
                      DisplayCase{-12345, "00.00E+00", "-01.23E+04"}, DisplayCase{0.001234, "00.0E+0", "12.3E-4"},
                      DisplayCase{999999, "00.0E+00", "01.0E+06"}, DisplayCase{12345, "#0.0E+0", "1.2E+4"},
                      DisplayCase{0, "00.0E+00", "00.0E+00"}, DisplayCase{123456, "0#0.0E+0", "123.5E+3"}));

// Sections with conditions: the first two clauses may carry conditions, the
// third takes what they leave; a clause meant for negatives drops the sign.
INSTANTIATE_TEST_SUITE_P(
    ConditionalSigns, NumberDisplay,
    ::testing::Values(DisplayCase{999, "[>1000]0.00E+00;General;0.00", "999.00"},
                      DisplayCase{1001, "[>1000]0.00E+00;General;0.00", "1.00E+03"},
                      DisplayCase{-5, "[>100]General;[<100](General);General", "-(5)"},
                      DisplayCase{-5, "[>100]General;[<0](General);General", "(5)"},
                      DisplayCase{-5, "[>100]0;[<-100]0;0", "-5"}, DisplayCase{-500, "[>100]0;[<-100]0;0", "500"},
                      DisplayCase{-5, "[=1]\"one\";0", "5"}, DisplayCase{-5, "[>=100]0.0;0", "5"},
                      DisplayCase{2813308004, "[<=9999999]###-####;(###) ###-####", "(281) 330-8004"},
                      DisplayCase{-26, "[<-25]General;[>25]General;General", "26"},
                      DisplayCase{-25, "[<-25]General;[>25]General;General", "-25"},
                      DisplayCase{5, "[>3]0.00;[<6]0.0;0", "5.00"}, DisplayCase{7, "[Red]0.00;[>5][Blue]0.0", "7.00"},
                      DisplayCase{0, "0.00;[<-5]0.0", "0.00"}, DisplayCase{-10, "0.00;[<-5]0.0", "10.0"},
                      DisplayCase{-1, "0.00;[<-5]0.0;0", "-1"}));

TEST(FractionDisplay, PicksTheClosestFractionTheDenominatorAllows) {
    // Compared with an exhaustive search over every denominator.
    std::mt19937 random(42);
    std::uniform_real_distribution<double> values(0.0, 1.0);
    const struct {
        const char *code;
        long largest;
    } layouts[] = {{"?/?", 9}, {"?\?/??", 99}, {"??\?/???", 999}, {"???\?/????", 9999}};
    for (const auto &layout : layouts) {
        for (int i = 0; i < 300; ++i) {
            const double value = values(random);
            const std::string shown = formatNumber(value, layout.code);
            const size_t slash = shown.find('/');
            ASSERT_NE(slash, std::string::npos) << shown;
            const double numerator = std::stod(shown.substr(0, slash));
            const long denominator = std::stol(shown.substr(slash + 1));
            ASSERT_GE(denominator, 1);
            ASSERT_LE(denominator, layout.largest);
            double bestError = 2.0;
            for (long d = 1; d <= layout.largest; ++d)
                bestError = std::fmin(bestError, std::fabs(value - std::round(value * d) / d));
            EXPECT_NEAR(std::fabs(value - numerator / denominator), bestError, 1e-12)
                << value << " " << layout.code << " -> " << shown;
        }
    }
}

TEST(NumberDisplay, BuiltinCodesRenderTheirLocaleDisplay) {
    using automation::numfmt::builtinFormatCode;
    struct Row {
        int id;
        double value;
        const char *shown;
    } rows[] = {
        {1, 3.6, "4"},
        {2, 3.1, "3.10"},
        {3, 1234567, "1,234,567"},
        {4, 1234.5, "1,234.50"},
        {5, 1234, "¥1,234"},
        {5, -1234, "¥-1,234"},
        {7, -1.5, "¥-1.50"},
        {9, 0.25, "25%"},
        {10, 0.12345, "12.35%"},
        {11, 12345, "1.23E+04"},
        {12, 0.5, " 1/2"},
        {13, 0.25, "  1/4 "},
        {37, -1234, "(1,234)"},
        {37, 1234, "1,234 "},
        {39, -1.5, "(1.50)"},
        {48, 12345, "12.3E+3"},
        {41, 1234, " 1,234 "},
        {41, -1234, " -1,234 "},
        {43, 1234.5, " 1,234.50 "},
        {44, 5, " ¥5.00 "},
        {0, 0.1 + 0.2, "0.3"},
        {49, 5, "5"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(formatNumber(row.value, builtinFormatCode(row.id)), row.shown) << "id " << row.id;
}

}  // namespace

namespace {

using automation::numfmt::alwaysShowsDecimalPoint;
using automation::numfmt::builtinFormatCode;

// What the search relies on when it passes a number by without rendering it:
// a code said always to show a decimal point shows one for every number.
TEST(NumberSection, ACodeSaidAlwaysToShowAPointShowsOneForEveryNumber) {
    const char *const always[] = {
        "0.00",     "#,##0.00", "#,##0.00;(#,##0.00)", "0.0%",
        "0.00E+00", "#.##",     "0.00;-0.00;0.0",      "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)"};
    const char *const not_always[] = {"General", "0",          "0.00;-0",      "0.00;;", "[>100]0.00;0.00",
                                      "@",       "yyyy-mm-dd", "[DBNum1]0.00", ""};
    const double values[] = {0, -0.0, 0.5, -0.5, 3, -3, 0.001, 123456.789, -1e15, 1e20, 4.9e-300};
    for (const char *code : always) {
        EXPECT_TRUE(alwaysShowsDecimalPoint(code)) << code;
        for (double v : values) EXPECT_NE(formatNumber(v, code).find('.'), std::string::npos) << code << " " << v;
    }
    for (const char *code : not_always) EXPECT_FALSE(alwaysShowsDecimalPoint(code)) << code;
    // The zero section of the accounting format shows a dash.
    EXPECT_FALSE(alwaysShowsDecimalPoint(builtinFormatCode(43)));
    EXPECT_EQ(formatNumber(0, builtinFormatCode(43)).find('.'), std::string::npos);
}

}  // namespace

namespace {

using automation::numfmt::longestDigitRun;

size_t digitRunOf(const std::string &text) {
    size_t longest = 0, run = 0;
    for (char c : text) {
        run = c >= '0' && c <= '9' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// What the search relies on when it passes a number by for a long run of
// digits: no number shows more digits in a row than the code's bound.
TEST(NumberSection, NoNumberShowsMoreDigitsInARowThanTheCodesBound) {
    const struct {
        const char *code;
        int bound;
    } bounded[] = {
        {"#,##0.00", 3},
        {"#,##0", 3},
        {"#,##0.0000", 4},
        {"#,##0.00;(#,##0.00)", 3},
        {"#,##0,", 3},
        {"#,##0.00%", 3},
        {"\"¥\"#,##0.00", 3},
        {"#,##0.00;-#,##0.00;\"-\"", 3},
        {"#,##0_);[Red](#,##0)", 3},
        // Dates and times: each part at most its digits (a long year five, for
        // the Buddhist era), names counted as digits, literals ending a run.
        {"yyyy-mm-dd", 5},
        {"yyyymmdd", 9},
        {"yyyy\"年\"m\"月\"d\"日\"", 5},
        {"hh:mm:ss AM/PM", 2},
        {"mm:ss.000", 6},
        {"d-mmm-yy", 2},
        {"dddd yyyy", 5},
    };
    const char *const unbounded[] = {"0.00",          "0",
                                     "General",       ".00",
                                     "#,##0.00E+00",  "# ?/?",
                                     "#,##0\"7\"",    "#,##0\"\xEF\xBC\x97\"",
                                     "[>100]#,##0;0", "[DBNum1]#,##0",
                                     "[h]:mm",        "@",
                                     "#,##0.00 @",    ""};
    const double values[] = {0,        1101011234, -1101011234.5, 123456789012345.0, 1e20,        0.000123456, -0.5, 7,
                             45352.75, 60,         2958465.9999,  0.99999999,        36526.123456};
    for (const auto &c : bounded) {
        EXPECT_EQ(longestDigitRun(c.code), c.bound) << c.code;
        for (double v : values)
            EXPECT_LE(digitRunOf(formatNumber(v, c.code)), static_cast<size_t>(c.bound)) << c.code << " " << v;
    }
    for (const char *code : unbounded) EXPECT_EQ(longestDigitRun(code), -1) << code;
    // The grouped formats of the built-in table are bounded; where a bound
    // is claimed for the others (their zero sections vary), it holds.
    for (int id = 0; id < 50; ++id) {
        const int bound = longestDigitRun(builtinFormatCode(id));
        if (id == 3 || id == 4 || (id >= 37 && id <= 40)) {
            EXPECT_GE(bound, 0) << "id " << id;
        }
        if (bound < 0) continue;
        for (double v : values)
            EXPECT_LE(digitRunOf(formatNumber(v, builtinFormatCode(id))), static_cast<size_t>(bound)) << id;
    }
}

}  // namespace
