// SPDX-License-Identifier: Apache-2.0
// Random codes and values: no crash, no hang, no exception, and the output
// stays well-formed UTF-8 of bounded size.
#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace automation::numfmt;

namespace {

constexpr int kFuzzRounds = 20000;
constexpr size_t kLongestExpectedDisplay = 4096;

bool isWellFormedUtf8(const std::string &text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

std::string randomCode(std::mt19937 &random) {
    static const char *const pieces[] = {
        "0",
        "#",
        "?",
        ".",
        ",",
        "%",
        "E+",
        "E-",
        "e+",
        "/",
        "@",
        ";",
        "\"",
        "\"x\"",
        "\\",
        "_",
        "*",
        "[",
        "]",
        "[Red]",
        "[>=100]",
        "[<0]",
        "[=0]",
        "[$¥-804]",
        "[$-804]",
        "[h]",
        "[mm]",
        "[ss]",
        "[DBNum1]",
        "[DBNum2]",
        "[DBNum3]",
        "y",
        "yyyy",
        "m",
        "mm",
        "mmm",
        "mmmm",
        "mmmmm",
        "d",
        "dd",
        "ddd",
        "dddd",
        "h",
        "hh",
        "s",
        "ss",
        ".0",
        ".000",
        "AM/PM",
        "a/p",
        "上午/下午",
        "aaaa",
        "General",
        "年",
        " ",
        "-",
        "(",
        ")",
        "8",
        "16",
        "[hhhhhhhhhhhhhhhhhhhhhhhhhhhhhh]",
        "?????",
        "E",
        "e",
        "B2",
        "[$",
        "\"unterminated",
    };
    std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
    std::uniform_int_distribution<int> length(0, 12);
    std::string code;
    for (int n = length(random); n > 0; --n) code += pieces[pick(random)];
    return code;
}

double randomValue(std::mt19937 &random) {
    static const double edgeValues[] = {
        0.0,    -0.0,   1.0,    -1.0,          0.5,         60.0, 2958465.0, 2958465.99999999, 1e308,
        -1e308, 1e-308, 5e-324, 99999999999.5, 0.999999999, NAN,  INFINITY,  -INFINITY};
    std::uniform_int_distribution<int> kind(0, 3);
    switch (kind(random)) {
        case 0:
            return edgeValues[std::uniform_int_distribution<size_t>(
                0, sizeof edgeValues / sizeof edgeValues[0] - 1)(random)];
        case 1:
            return std::uniform_real_distribution<double>(-100000, 100000)(random);
        case 2:
            return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                              std::uniform_int_distribution<int>(-1070, 1020)(random));
        default:
            return std::uniform_int_distribution<int>(-50000, 3000000)(random);
    }
}

TEST(Robustness, RandomCodesAndValuesRenderSafely) {
    std::mt19937 random(20240105);
    for (int round = 0; round < kFuzzRounds; ++round) {
        const std::string code = randomCode(random);
        const double value = randomValue(random);
        const bool date1904 = (round & 1) != 0;
        std::string shown;
        std::string text;
        ASSERT_NO_THROW({
            shown = formatNumber(value, code, date1904);
            text = formatText("文本", code);
            (void)isDateFormat(code);
        }) << code;
        EXPECT_TRUE(isWellFormedUtf8(shown)) << code << " " << value;
        EXPECT_TRUE(isWellFormedUtf8(text)) << code;
        EXPECT_LT(shown.size(), kLongestExpectedDisplay) << code << " " << value;
    }
}

TEST(Robustness, RandomBytesAsCodes) {
    // Not even UTF-8: only survival is asked for.
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < kFuzzRounds / 4; ++round) {
        std::string code;
        for (int n = length(random); n > 0; --n) code.push_back(static_cast<char>(byte(random)));
        const double value = randomValue(random);
        EXPECT_NO_THROW({
            (void)formatNumber(value, code, (round & 1) != 0);
            (void)formatText("t", code);
            (void)isDateFormat(code);
        });
    }
}

TEST(Robustness, TruncatedAndMalformedCodes) {
    const char *codes[] = {"\"",
                           "\\",
                           "_",
                           "*",
                           "[",
                           "[>",
                           "[<=",
                           "[$",
                           "[$-",
                           "[=abc]0",
                           "0.0.0",
                           "E+",
                           "0E+",
                           "/",
                           "0/",
                           "#/0",
                           "?/0",
                           ";;;;;;;",
                           "0;;;;0",
                           "[DBNum9]0",
                           "\xE4\xB8",
                           "0\xE4",
                           "[h",
                           "s.0000000",
                           ".0",
                           "0,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,",
                           "%%%%%%%%%%%%0",
                           "0/99999999999999999999"};
    for (const char *code : codes) {
        for (double value : {0.0, -1.5, 12345.678, 1e300}) {
            EXPECT_NO_THROW((void)formatNumber(value, code)) << code;
            EXPECT_NO_THROW((void)formatText("t", code)) << code;
        }
    }
}

TEST(Robustness, VeryLongCodesAreReadInOnePass) {
    // A hostile file may carry huge codes; reading them must stay linear.
    for (const char *piece : {".", "0.", "E+0", "/", "m", "s.0", "\"a\"", "[Red]", ",", "%"}) {
        std::string code;
        while (code.size() < 200000) code += piece;
        EXPECT_NO_THROW((void)formatNumber(1234.5, code)) << piece;
        EXPECT_NO_THROW((void)isDateFormat(code)) << piece;
    }
}

TEST(Robustness, FixedDecimalDisplayReadsBackWithinHalfAUnit) {
    // A cross-check against plain arithmetic: "0.000" must round to the nearest thousandth.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> values(-1e6, 1e6);
    for (int i = 0; i < 5000; ++i) {
        const double value = values(random);
        const std::string shown = formatNumber(value, "0.000");
        EXPECT_NEAR(std::stod(shown), value, 0.0005 + 1e-9) << shown;
        const std::string grouped = formatNumber(value, "#,##0.000");
        std::string ungrouped;
        for (char c : grouped) {
            if (c != ',') ungrouped.push_back(c);
        }
        EXPECT_EQ(ungrouped, shown);
    }
}

TEST(Robustness, ManyThreadsShareTheCodeCacheConsistently) {
    const std::vector<std::string> codes = {"0.00",  "#,##0",    "yyyy/m/d", "[h]:mm:ss",
                                            "# ?/?", "0.00E+00", "General",  "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"};
    const std::vector<double> values = {0, 1.5, -2.25, 45296.75, 1234567.891};
    std::vector<std::string> expected;
    for (const std::string &code : codes) {
        for (double value : values) expected.push_back(formatNumber(value, code));
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 400; ++round) {
                size_t index = 0;
                for (const std::string &code : codes) {
                    for (double value : values) {
                        if (formatNumber(value, code) != expected[index]) ++mismatches;
                        ++index;
                    }
                }
                // Churn the cache with one-off codes.
                (void)formatNumber(round, "0.0\"" + std::to_string(t * 1000 + round) + "\"");
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
