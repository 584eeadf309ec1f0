// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/text/TextDecoding.h"
#include "automation/writers/XlsxText.h"
#include "automation/writers/XmlOut.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

namespace xmlout = automation::writers::xmlout;

std::string text(std::string_view s) {
    std::string out = "kept:";
    xmlout::appendText(out, s);
    return out;
}

std::string attribute(std::string_view s) {
    std::string out;
    xmlout::appendAttribute(out, s);
    return out;
}

TEST(XmlOut, ElementTextEscapesWhatXmlCannotCarryAsIs) {
    EXPECT_EQ(text("a<b>&c\"d'"), "kept:a&lt;b&gt;&amp;c\"d'");
    EXPECT_EQ(text("tab\tline\nend"), "kept:tab\tline\nend");
    // XML turns CR into LF and cannot hold the other control characters at all.
    EXPECT_EQ(text(std::string("a\rb\x01"
                               "c\x1F",
                               6)),
              "kept:a_x000D_b_x0001_c_x001F_");
    EXPECT_EQ(text(std::string("\0z", 2)), "kept:_x0000_z");
    EXPECT_EQ(text("\xE4\xB8\xAD\xF0\x9F\x98\x80"), "kept:\xE4\xB8\xAD\xF0\x9F\x98\x80");
    // U+FFFE and U+FFFF are not XML characters; their neighbours U+FFFD and U+EFBF are.
    EXPECT_EQ(text("a\xEF\xBF\xBE"
                   "b\xEF\xBF\xBF"
                   "c\xEF\xBF\xBD\xEE\xBE\xBF"),
              "kept:a_xFFFE_b_xFFFF_c\xEF\xBF\xBD\xEE\xBE\xBF");
    EXPECT_EQ(text("\xEF\xBF"), "kept:\xEF\xBF");
}

TEST(XmlOut, AttributeValuesSurviveAttributeNormalisation) {
    EXPECT_EQ(attribute("R&D \"<1>\""), "R&amp;D &quot;&lt;1&gt;&quot;");
    EXPECT_EQ(attribute("a\tb\nc\rd"), "a&#9;b&#10;c&#13;d");
    EXPECT_EQ(attribute(std::string("x\x01y\0", 4)), "xy");
    EXPECT_EQ(attribute("m\xEF\xBF\xBF"
                        "d\xEF\xBF\xBE"),
              "md");
}

TEST(XmlOut, NumbersReadBackAsTheSameDouble) {
    std::mt19937_64 random(11);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.5,
                                  0.1 + 0.2,
                                  1e-300,
                                  1.5e300,
                                  4.9e-324,
                                  123456789012345678.0,
                                  61893.34,
                                  1.7976931348623157e308};
    for (int i = 0; i < 20000; ++i) {
        double d;
        const uint64_t bits = random();
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) values.push_back(d);
    }
    for (double v : values) {
        std::string out;
        xmlout::appendNumber(out, v);
        ASSERT_EQ(std::strtod(out.c_str(), nullptr), v) << out;
        ASSERT_EQ(out.find_first_not_of("0123456789.-+e"), std::string::npos) << out;
    }
    std::string whole;
    xmlout::appendNumber(whole, 1101011234.0);
    EXPECT_EQ(whole, "1101011234");
}

// Whole numbers take a faster way; they are written exactly as the general
// conversion writes them, the exponent form included where it is shorter.
TEST(XmlOut, WholeNumbersAreWrittenAsTheGeneralConversionWritesThem) {
    std::vector<double> values = {0.0,       -0.0,     1.0,       -1.0,    10000.0,     100000.0,
                                  -100000.0, 120000.0, 1200000.0, 99999.0, 123450000.0, 999999999999999.0,
                                  1e15,      -1e15,    1e15 - 1,  45292.0};
    std::mt19937_64 random(12);
    for (int i = 0; i < 200000; ++i) {
        const double scale = std::pow(10.0, static_cast<double>(random() % 12));  // trailing zeros
        double v = static_cast<double>(static_cast<int64_t>(random() % 2000000000000000) - 1000000000000000);
        v = std::trunc(v / scale) * scale;
        values.push_back(v);
        values.push_back(std::trunc(v / 1000));
    }
    int exponentForms = 0;
    for (double v : values) {
        std::string fast;
        xmlout::appendNumber(fast, v);
        char general[32];
        const std::string expected(general, std::to_chars(general, general + sizeof general, v).ptr);
        ASSERT_EQ(fast, expected) << v;
        exponentForms += expected.find('e') != std::string::npos;
    }
    EXPECT_GT(exponentForms, 100) << "the cases must reach numbers whose exponent form is shorter";
}

TEST(XmlOut, CellReferencesSpanTheWholeSheet) {
    const std::pair<uint32_t, const char *> columns[] = {{1, "A"},    {26, "Z"},    {27, "AA"},    {52, "AZ"},
                                                         {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}};
    for (const auto &[column, letters] : columns) {
        std::string out;
        xmlout::appendCellReference(out, 1048576, column);
        EXPECT_EQ(out, std::string(letters) + "1048576");
    }
}

TEST(XmlOut, OnlyOuterWhiteSpaceNeedsPreserving) {
    EXPECT_FALSE(xmlout::needsSpacePreserved(""));
    EXPECT_FALSE(xmlout::needsSpacePreserved("a b"));
    EXPECT_TRUE(xmlout::needsSpacePreserved(" a"));
    EXPECT_TRUE(xmlout::needsSpacePreserved("a\n"));
    EXPECT_TRUE(xmlout::needsSpacePreserved("\ta"));
}

// The writer checks every text it saves, eight ASCII bytes at a time where it
// can: it must judge as the readers' own decoder does, wherever a sequence
// (whole, cut short or malformed) falls against those eight bytes.
TEST(XlsxText, ValidUtf8IsJudgedAsTheReadersJudgeIt) {
    const std::string pieces[] = {
        "a",        "xyz",          "12345",    "abcdefgh",         "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
        "\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\xF4\x90\x80\x80", "\x80",     "\xFF",         "\xEF\xBF\xBE"};
    std::mt19937 random(5);
    int invalid = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        const int count = static_cast<int>(random() % 12);
        for (int k = 0; k < count; ++k) s += pieces[random() % std::size(pieces)];
        const bool expected = automation::readers::text::isValidUtf8(s.data(), s.size());
        ASSERT_EQ(automation::writers::isValidUtf8(s), expected) << "text of " << s.size() << " bytes, case " << i;
        invalid += expected ? 0 : 1;
    }
    EXPECT_GT(invalid, 1000) << "the cases must hold malformed texts too";
}

}  // namespace
