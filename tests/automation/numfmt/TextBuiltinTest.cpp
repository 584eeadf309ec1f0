// SPDX-License-Identifier: Apache-2.0
#include "DisplayCase.h"

#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

using namespace automation::numfmt;

namespace {

TEST(TextDisplay, TextSectionWrapsTheText) {
    struct Row {
        const char *text;
        const char *code;
        const char *shown;
    } rows[] = {
        {"abc", "@", "abc"},
        {"abc", "\"pre-\"@", "pre-abc"},
        {"abc", "0;-0;0;\"T:\"@", "T:abc"},
        {"abc", "0.00", "abc"},
        {"abc", "General", "abc"},
        {"abc", "", "abc"},
        {"abc", "0;-0;0;[Red]@\"!\"", "abc!"},
        {"x", "_(@_)", " x "},
        {"中文", "@\"元\"", "中文元"},
        {"abc", "0;-0;0;\"fixed\"", "fixed"},
        {"abc", "0.00;@\"*\"", "abc*"},
        {"abc", "yyyy/m/d", "abc"},
        {"abc", "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ", " abc "},
        {"", "\"[\"@\"]\"", "[]"},
        // General in the text section shows the text.
        {"foo", "[Red][<-25]General;[Blue][>25]General;[Green]General;[Yellow]General", "foo"},
        {"foo", "General;General;General;General'", "foo'"},
    };
    for (const Row &row : rows) EXPECT_EQ(formatText(row.text, row.code), row.shown) << row.code;
}

TEST(BuiltinCodes, EveryIdOfTheTablesHasACodeAndOthersNone) {
    for (int id = 0; id <= 22; ++id) EXPECT_FALSE(builtinFormatCode(id).empty()) << id;
    for (int id = 27; id <= 58; ++id) EXPECT_FALSE(builtinFormatCode(id).empty()) << id;
    for (int id : {-1, 23, 24, 25, 26, 59, 163, 1000}) EXPECT_TRUE(builtinFormatCode(id).empty()) << id;
    EXPECT_EQ(builtinFormatCode(0), "General");
    EXPECT_EQ(builtinFormatCode(14), "yyyy/m/d");
    EXPECT_EQ(builtinFormatCode(22), "yyyy/m/d h:mm");
    EXPECT_EQ(builtinFormatCode(49), "@");
}

TEST(BuiltinCodes, DateIdsAreDatesAndNumberIdsAreNot) {
    for (int id = 0; id <= 58; ++id) {
        const std::string code = builtinFormatCode(id);
        if (code.empty()) continue;
        const bool date =
            (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
        EXPECT_EQ(isDateFormat(code), date) << "id " << id << " " << code;
    }
}

TEST(DateDetection, TellsDateCodesApart) {
    struct Row {
        const char *code;
        bool date;
    } rows[] = {
        {"yyyy/m/d", true},
        {"0.00", false},
        {"General", false},
        {"[h]:mm", true},
        {"h:mm AM/PM", true},
        {"\"d\"0", false},
        {"[Red]0.00", false},
        {"0.00\\d", false},
        {"@", false},
        {"[$-804]yyyy", true},
        {"#,##0 \"天\"", false},
        {"[Blue]General", false},
        {"yyyy;@", true},
        {"[$-F800]dddd, mmmm dd, yyyy", true},
        {"mm:ss.0", true},
        {"0_);[Red](0)", false},
        {"", false},
        {"[DBNum1]General", false},
        {"上午/下午h时", true},
    };
    for (const Row &row : rows) EXPECT_EQ(isDateFormat(row.code), row.date) << row.code;
}

// Only a code that shows a day names a different day in the two date systems.
TEST(DateDetection, CalendarDatesApartFromTimesAndDurations) {
    const std::pair<const char *, bool> rows[] = {
        {"yyyy/m/d", true}, {"m/d/yyyy h:mm", true},
        {"mmm-yy", true},   {"dddd", true},
        {"aaaa", true},     {"[$-804]e\"年\"m\"月\"", true},
        {"h:mm", false},    {"[h]:mm:ss", false},
        {"mm:ss.0", false}, {"h:mm AM/PM", false},
        {"0.00", false},    {"General", false},
        {"\"d\"0", false},  {"@", false},
        {"", false},
    };
    for (const auto &[code, day] : rows) EXPECT_EQ(showsCalendarDate(code), day) << code;
}

class ChineseNumeralDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(ChineseNumeralDisplay, ShowsAsTheSpreadsheetDoes) {
    const DisplayCase &c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.code), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChineseNumeralDisplay,
    ::testing::Values(DisplayCase{123, "[DBNum1]General", "一百二十三"},
                      DisplayCase{123, "[DBNum2]General", "壹佰贰拾叁"}, DisplayCase{123, "[DBNum3]0", "１２３"},
                      DisplayCase{10203, "[DBNum1][$-804]General", "一万〇二百〇三"},
                      DisplayCase{12, "[DBNum1]0", "十二"}, DisplayCase{12, "[DBNum2]0", "壹拾贰"},
                      DisplayCase{100000, "[DBNum1]0", "十万"}, DisplayCase{0, "[DBNum1]0", "〇"},
                      DisplayCase{1000001, "[DBNum1]0", "一百万〇一"}, DisplayCase{200000000, "[DBNum1]0", "二亿"},
                      DisplayCase{-45, "[DBNum1]0", "-四十五"},
                      DisplayCase{1234567, "[DBNum1]#,##0", "一百二十三万四千五百六十七"},
                      DisplayCase{12.5, "[DBNum1]0.0", "十二.五"}, DisplayCase{3, "[DBNum2]0\"元\"", "叁元"}));

}  // namespace
