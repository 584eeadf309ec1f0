// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/TextCut.h"

using namespace settings;

namespace {

constexpr char kJunk[] = "junk";
constexpr char kWinPath[] = "C:\\tools\\RowSifter\\RowSifter.exe";

struct CutCase {
    const char *name;
    const char *text;
    const char *marker;
    bool keepMarker;
    bool useLast;
    int expectedResult;
    const char *expected;
};

class AfterMarker : public ::testing::TestWithParam<CutCase> {};
class BeforeMarker : public ::testing::TestWithParam<CutCase> {};

TEST_P(AfterMarker, CutsAtTheChosenOccurrence) {
    const CutCase &c = GetParam();
    char out[64];
    std::strcpy(out, kJunk);
    EXPECT_EQ(textAfterMarker(out, c.text, c.marker, c.keepMarker, c.useLast, sizeof out), c.expectedResult);
    EXPECT_STREQ(out, c.expected);
}

TEST_P(BeforeMarker, CutsAtTheChosenOccurrence) {
    const CutCase &c = GetParam();
    char out[64];
    std::strcpy(out, kJunk);
    EXPECT_EQ(textBeforeMarker(out, c.text, c.marker, c.keepMarker, c.useLast, sizeof out), c.expectedResult);
    EXPECT_STREQ(out, c.expected);
}

std::string caseName(const ::testing::TestParamInfo<CutCase> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Flags, AfterMarker,
    ::testing::Values(CutCase{"First", kWinPath, "\\", false, false, 1, "tools\\RowSifter\\RowSifter.exe"},
                      CutCase{"FirstKept", kWinPath, "\\", true, false, 1, "\\tools\\RowSifter\\RowSifter.exe"},
                      CutCase{"Last", kWinPath, "\\", false, true, 1, "RowSifter.exe"},
                      CutCase{"LastKept", kWinPath, "\\", true, true, 1, "\\RowSifter.exe"},
                      CutCase{"MarkerAtEnd", "abc=", "=", false, false, 1, ""},
                      CutCase{"Missing", kWinPath, "/", false, false, -1, ""},
                      CutCase{"EmptyMarker", kWinPath, "", false, false, -1, ""},
                      CutCase{"EmptyText", "", "\\", true, true, -1, ""}),
    caseName);

INSTANTIATE_TEST_SUITE_P(Flags, BeforeMarker,
                         ::testing::Values(CutCase{"First", kWinPath, "\\", false, false, 1, "C:"},
                                           CutCase{"FirstKept", kWinPath, "\\", true, false, 1, "C:\\"},
                                           CutCase{"Last", kWinPath, "\\", false, true, 1, "C:\\tools\\RowSifter"},
                                           CutCase{"LastKept", kWinPath, "\\", true, true, 1, "C:\\tools\\RowSifter\\"},
                                           CutCase{"MultiByteMarkerLastKept", "a\r\nb\r\nc", "\r\n", true, true, 1,
                                                   "a\r\nb\r\n"},
                                           CutCase{"MarkerAtStart", "/usr", "/", false, false, 1, ""},
                                           CutCase{"Missing", "RowSifter.exe", "\\", true, true, -1, ""},
                                           CutCase{"EmptyMarker", kWinPath, "", true, true, -1, ""}),
                         caseName);

struct BetweenCase {
    const char *name;
    const char *text;
    const char *startMarker;
    const char *endMarker;
    bool keepStart, keepEnd, startFromLast, endFromLast;
    int expectedResult;
    const char *expected;
};

class BetweenMarkers : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(BetweenMarkers, CombinesBothCuts) {
    const BetweenCase &c = GetParam();
    char out[64];
    std::strcpy(out, kJunk);
    EXPECT_EQ(textBetweenMarkers(out, c.text, c.startMarker, c.endMarker, c.keepStart, c.keepEnd, c.startFromLast,
                                 c.endFromLast, sizeof out),
              c.expectedResult);
    EXPECT_STREQ(out, c.expected);
}

constexpr char kLines[] = "a=1\r\nb=2\r\na=3\r\n";

INSTANTIATE_TEST_SUITE_P(
    Flags, BetweenMarkers,
    ::testing::Values(BetweenCase{"Plain", kLines, "a=", "\r\n", false, false, false, false, 1, "1"},
                      BetweenCase{"KeepStart", kLines, "a=", "\r\n", true, false, false, false, 1, "a=1"},
                      BetweenCase{"KeepEnd", kLines, "a=", "\r\n", false, true, false, false, 1, "1\r\n"},
                      BetweenCase{"StartFromLast", kLines, "a=", "\r\n", false, false, true, false, 1, "3"},
                      BetweenCase{"EndFromLast", kLines, "a=", "\r\n", false, false, false, true, 1, "1\r\nb=2\r\na=3"},
                      BetweenCase{"EndSearchedOnlyBehindStart", "x]a[y]z", "[", "]", false, false, false, false, 1,
                                  "y"},
                      BetweenCase{"NoEnd", "a=1", "a=", "\r\n", false, false, false, false, -1, ""},
                      BetweenCase{"NoStart", kLines, "c=", "\r\n", false, false, false, false, -1, ""},
                      BetweenCase{"EndOnlyBeforeStart", "]a[", "[", "]", false, false, false, false, -1, ""}),
    [](const ::testing::TestParamInfo<BetweenCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST(TextCut, ResultThatDoesNotFitIsRefusedNotCut) {
    char out[8];
    std::strcpy(out, kJunk);
    EXPECT_EQ(textAfterMarker(out, "key=12345678", "=", false, false, sizeof out), -1);
    EXPECT_STREQ(out, "");
    std::strcpy(out, kJunk);
    EXPECT_EQ(textBeforeMarker(out, "12345678\\x", "\\", true, true, sizeof out), -1);
    EXPECT_STREQ(out, "");
    std::strcpy(out, kJunk);
    // Seven bytes plus the NUL fill the buffer exactly.
    EXPECT_EQ(textBeforeMarker(out, "123456\\x", "\\", true, true, sizeof out), 1);
    EXPECT_STREQ(out, "123456\\");
}

TEST(TextCut, BetweenMayPassThroughATailLongerThanTheOutput) {
    std::string text = "[" + std::string(100, 'x') + "]";
    text.replace(3, 1, "|");
    char out[8];
    EXPECT_EQ(textBetweenMarkers(out, text.c_str(), "[", "|", false, false, false, false, sizeof out), 1);
    EXPECT_STREQ(out, "xx");
}

TEST(TextCut, OutputMayBeTheSourceBuffer) {
    char buffer[32] = "C:\\dir\\RowSifter.exe";
    EXPECT_EQ(textAfterMarker(buffer, buffer, "\\", false, true, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "RowSifter.exe");
}

TEST(TextCut, NullArgumentsAreRefused) {
    char out[8] = "x";
    EXPECT_EQ(textAfterMarker(out, nullptr, "a", false, false, sizeof out), -1);
    EXPECT_EQ(textBeforeMarker(out, "abc", nullptr, false, false, sizeof out), -1);
    EXPECT_EQ(textBetweenMarkers(nullptr, "abc", "a", "c", false, false, false, false, 8), -1);
    EXPECT_EQ(textAfterMarker(out, "abc", "b", false, false, 0), -1);
    EXPECT_EQ(lastMarkerPosition(nullptr, "a"), -1);
}

struct PositionCase {
    const char *text;
    const char *marker;
    int expected;
};

TEST(LastMarkerPosition, CountsOnlyNonOverlappingMatchesFromTheLeft) {
    const PositionCase cases[] = {
        {"aaa", "aa", 0},    // an overlapping scan would give 1
        {"aaaaa", "aa", 2},  // matches at 0 and 2; the tail "a" is too short
        {"abab", "ab", 2},  {"a\\b\\c", "\\", 3}, {"abc", "x", -1},
        {"abc", "", -1},    {"", "a", -1},        {"x=1\r\ny=2\r\n", "\r\n", 8},
    };
    for (const PositionCase &c : cases)
        EXPECT_EQ(lastMarkerPosition(c.text, c.marker), c.expected) << c.text << " / " << c.marker;
}

struct TrimCase {
    const char *input;
    const char *left;
    const char *right;
};

TEST(TrimBlanks, RemovesOnlySpacesAndTabs) {
    const TrimCase cases[] = {
        {" \t a b \t ", "a b \t ", " \t a b"},
        {"\r\nx\r\n", "\r\nx\r\n", "\r\nx\r\n"},  // line ends are not blanks
        {"   ", "", ""},
        {"", "", ""},
        {"x", "x", "x"},
        {"\t\xb0\xa1 ", "\xb0\xa1 ", "\t\xb0\xa1"},  // high bytes are kept as they are
    };
    for (const TrimCase &c : cases) {
        char left[32];
        char right[32];
        std::strcpy(left, c.input);
        std::strcpy(right, c.input);
        trimLeftBlanks(left);
        trimRightBlanks(right);
        EXPECT_STREQ(left, c.left) << '"' << c.input << '"';
        EXPECT_STREQ(right, c.right) << '"' << c.input << '"';
    }
    trimLeftBlanks(nullptr);
    trimRightBlanks(nullptr);
}

}  // namespace
