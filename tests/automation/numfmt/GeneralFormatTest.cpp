// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using automation::numfmt::formatGeneral;
using automation::numfmt::formatNumber;

namespace {

struct GeneralCase {
    double value;
    const char *shown;
};

std::ostream &operator<<(std::ostream &stream, const GeneralCase &c) { return stream << c.value << " -> " << c.shown; }

class GeneralDisplay : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralDisplay, ShowsAsTheSpreadsheetDoes) {
    const GeneralCase &c = GetParam();
    EXPECT_EQ(formatGeneral(c.value), c.shown);
    // The General code and an empty code render the same way.
    EXPECT_EQ(formatNumber(c.value, "General"), c.shown);
    EXPECT_EQ(formatNumber(c.value, "general"), c.shown);
    EXPECT_EQ(formatNumber(c.value, ""), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneralDisplay,
    ::testing::Values(GeneralCase{0, "0"}, GeneralCase{-0.0, "0"}, GeneralCase{1, "1"}, GeneralCase{-1, "-1"},
                      GeneralCase{0.1 + 0.2, "0.3"}, GeneralCase{123456789012.0, "1.23457E+11"},
                      GeneralCase{-123456789012.0, "-1.23457E+11"}, GeneralCase{12345678901.0, "12345678901"},
                      GeneralCase{1e-10, "1E-10"}, GeneralCase{123456789.123, "123456789.1"},
                      GeneralCase{1.0 / 3.0, "0.333333333"}, GeneralCase{2.0 / 3.0, "0.666666667"},
                      GeneralCase{-2.0 / 3.0, "-0.666666667"}, GeneralCase{0.0001, "0.0001"},
                      GeneralCase{0.00001, "0.00001"}, GeneralCase{0.000123456789, "0.000123457"},
                      GeneralCase{1e15, "1E+15"}, GeneralCase{1e11, "1E+11"}, GeneralCase{123456.7890123, "123456.789"},
                      GeneralCase{99999999999.5, "1E+11"}, GeneralCase{99999999999.0, "99999999999"},
                      GeneralCase{1e100, "1E+100"}, GeneralCase{1.5e-100, "1.5E-100"},
                      GeneralCase{3.14159265358979, "3.141592654"}, GeneralCase{1234567890.12, "1234567890"},
                      GeneralCase{-1234.5, "-1234.5"}, GeneralCase{100000, "100000"}, GeneralCase{0.1, "0.1"},
                      GeneralCase{12345.678901234, "12345.6789"}, GeneralCase{5e-5, "0.00005"},
                      GeneralCase{1.23456789e-7, "1.23457E-07"}, GeneralCase{9.9999996e14, "1E+15"},
                      GeneralCase{1.7976931348623157e308, "1.7977E+308"}, GeneralCase{45296, "45296"},
                      GeneralCase{0.999999999999, "1"}, GeneralCase{1.1, "1.1"}, GeneralCase{2.675, "2.675"},
                      GeneralCase{1234567.891, "1234567.891"}, GeneralCase{0.0999999999999, "0.1"},
                      GeneralCase{4.35 * 100, "435"}, GeneralCase{1e-5 * 3, "0.00003"}));

// Below one General keeps the decimal form while it shows as many digits as
// the exponent form would, within eleven characters.
INSTANTIATE_TEST_SUITE_P(
    SmallNumbers, GeneralDisplay,
    ::testing::Values(GeneralCase{0.00001, "0.00001"}, GeneralCase{0.000001, "0.000001"},
                      GeneralCase{0.0000001, "0.0000001"}, GeneralCase{0.000000001, "0.000000001"},
                      GeneralCase{0.000000012, "0.000000012"}, GeneralCase{0.000012345, "0.000012345"},
                      GeneralCase{0.0000123456, "1.23456E-05"}, GeneralCase{0.00001234567, "1.23457E-05"},
                      GeneralCase{0.0001234567, "0.000123457"}, GeneralCase{0.0000000001, "1E-10"},
                      GeneralCase{0.0000000012, "1.2E-09"}, GeneralCase{-0.000001, "-0.000001"},
                      GeneralCase{0.00000999999999999, "0.00001"}, GeneralCase{1.00000000001e-5, "0.00001"}));

TEST(GeneralDisplay, NonFiniteValuesShowAnErrorNotGarbage) {
    EXPECT_EQ(formatGeneral(std::numeric_limits<double>::quiet_NaN()), "#NUM!");
    EXPECT_EQ(formatGeneral(std::numeric_limits<double>::infinity()), "#NUM!");
    EXPECT_EQ(formatNumber(-std::numeric_limits<double>::infinity(), "0.00"), "#NUM!");
}

TEST(GeneralDisplay, NeverWiderThanElevenCharactersBesideTheSign) {
    // Sweep magnitudes across the fixed/exponent boundaries.
    for (int exponent = -320; exponent <= 308; ++exponent) {
        for (double mantissa : {1.0, 1.23456789012345, 9.99999999999, 5.5, 7.0 / 3.0}) {
            const double value = mantissa * std::pow(10.0, exponent);
            if (!std::isfinite(value) || value == 0.0) continue;
            const std::string shown = formatGeneral(value);
            EXPECT_LE(shown.size(), 11u) << value << " -> " << shown;
            const std::string negative = formatGeneral(-value);
            EXPECT_EQ(negative, "-" + shown);
        }
    }
}

TEST(GeneralDisplay, ReadsBackCloseToTheValue) {
    for (double value : {0.3, 123.456, 98765.4321, 1e-3, 7e-7, 6.02214076e23, 1.0 / 7.0}) {
        const double back = std::stod(formatGeneral(value));
        EXPECT_NEAR(back, value, std::fabs(value) * 1e-5) << value;
    }
}

}  // namespace
