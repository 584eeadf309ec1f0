// SPDX-License-Identifier: Apache-2.0
#include "DisplayCase.h"

#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

using automation::numfmt::builtinFormatCode;
using automation::numfmt::formatNumber;

namespace {

// 2024-01-05, a Friday, in the 1900 date system.
constexpr double kFifthJanuary2024 = 45296;
// The same day in the 1904 date system.
constexpr double kFifthJanuary2024In1904 = kFifthJanuary2024 - 1462;

class DateDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DateDisplay, ShowsAsTheSpreadsheetDoes) {
    const DisplayCase &c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.code, c.date1904), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateDisplay,
    ::testing::Values(
        DisplayCase{kFifthJanuary2024, "yyyy/m/d", "2024/1/5"},
        DisplayCase{kFifthJanuary2024 + 0.5, "yyyy/m/d h:mm", "2024/1/5 12:00"},
        DisplayCase{kFifthJanuary2024, "yyyy\"年\"m\"月\"d\"日\"", "2024年1月5日"},
        DisplayCase{kFifthJanuary2024, "yyyy年m月d日", "2024年1月5日"},
        DisplayCase{kFifthJanuary2024, "m\"月\"d\"日\"", "1月5日"},
        DisplayCase{kFifthJanuary2024, "d-mmm-yy", "5-Jan-24"}, DisplayCase{kFifthJanuary2024, "mmmm", "January"},
        DisplayCase{kFifthJanuary2024 + 300, "mmmmm", "O"}, DisplayCase{kFifthJanuary2024, "dddd", "Friday"},
        DisplayCase{kFifthJanuary2024, "ddd", "Fri"}, DisplayCase{kFifthJanuary2024, "mm/dd/yyyy", "01/05/2024"},
        DisplayCase{kFifthJanuary2024, "m/d/yy", "1/5/24"}, DisplayCase{kFifthJanuary2024, "yy", "24"},
        DisplayCase{kFifthJanuary2024, "YYYY-MM-DD", "2024-01-05"},
        DisplayCase{kFifthJanuary2024, "yyyy\"年\"m\"月\"d\"日\" aaaa", "2024年1月5日 星期五"},
        DisplayCase{kFifthJanuary2024, "aaa", "五"}, DisplayCase{kFifthJanuary2024, "[$-804]mmmm", "一月"},
        DisplayCase{kFifthJanuary2024, "[$-804]mmm", "1月"}, DisplayCase{kFifthJanuary2024, "[$-804]dddd", "星期五"},
        DisplayCase{kFifthJanuary2024, "[$-804]ddd", "周五"},
        DisplayCase{kFifthJanuary2024 + 342, "[$-zh-CN]mmmm", "十二月"},
        DisplayCase{kFifthJanuary2024, "[$-409]mmmm d, yyyy", "January 5, 2024"},
        DisplayCase{kFifthJanuary2024, "[DBNum1]yyyy\"年\"m\"月\"d\"日\"", "二〇二四年一月五日"},
        DisplayCase{kFifthJanuary2024 + 340, "[DBNum1]m\"月\"d\"日\"", "十二月十日"},
        DisplayCase{kFifthJanuary2024, "yyyy/m/d;@", "2024/1/5"},
        DisplayCase{kFifthJanuary2024, "[$-F800]dddd, mmmm dd, yyyy", "2024年1月5日"},
        DisplayCase{kFifthJanuary2024, "[$-x-sysdate]dddd, mmmm dd, yyyy", "2024年1月5日"},
        DisplayCase{0.75, "[$-F400]h:mm:ss AM/PM", "18:00:00"}, DisplayCase{-1, "yyyy/m/d", "########"},
        DisplayCase{2958465, "yyyy/m/d", "9999/12/31"}, DisplayCase{2958466, "yyyy/m/d", "########"}));

INSTANTIATE_TEST_SUITE_P(
    LeapYearQuirkAnd1904, DateDisplay,
    ::testing::Values(DisplayCase{60, "yyyy-mm-dd", "1900-02-29"}, DisplayCase{59, "yyyy-mm-dd", "1900-02-28"},
                      DisplayCase{61, "yyyy-mm-dd", "1900-03-01"}, DisplayCase{0, "yyyy-mm-dd", "1900-01-00"},
                      DisplayCase{1, "yyyy-mm-dd", "1900-01-01"}, DisplayCase{1, "dddd", "Sunday"},
                      DisplayCase{61, "dddd", "Thursday"}, DisplayCase{0.25, "yyyy/m/d h:mm", "1900/1/0 6:00"},
                      DisplayCase{0, "yyyy-mm-dd", "1904-01-01", true}, DisplayCase{0, "dddd", "Friday", true},
                      DisplayCase{kFifthJanuary2024In1904, "yyyy/m/d", "2024/1/5", true},
                      DisplayCase{kFifthJanuary2024In1904, "dddd", "Friday", true},
                      DisplayCase{59, "yyyy-mm-dd", "1904-02-29", true}));

INSTANTIATE_TEST_SUITE_P(
    Times, DateDisplay,
    ::testing::Values(
        DisplayCase{0.75, "h:mm AM/PM", "6:00 PM"}, DisplayCase{0.25, "h:mm AM/PM", "6:00 AM"},
        DisplayCase{0, "h:mm AM/PM", "12:00 AM"}, DisplayCase{0.5, "h:mm AM/PM", "12:00 PM"},
        DisplayCase{0.75, "h:mm a/p", "6:00 p"}, DisplayCase{0.75, "h:mm am/pm", "6:00 PM"},
        DisplayCase{0.25, "h:mm:ss Am/Pm", "6:00:00 AM"}, DisplayCase{13.0 / 24, "hh:mm AM/PM", "01:00 PM"},
        DisplayCase{0.75, "hh:mm A/P", "06:00 P"},
        DisplayCase{kFifthJanuary2024 + 0.75, "上午/下午h\"时\"mm\"分\"", "下午6时00分"},
        DisplayCase{0.375, "上午/下午h:mm", "上午9:00"},
        DisplayCase{kFifthJanuary2024 + 0.123456, "yyyy-mm-dd hh:mm:ss", "2024-01-05 02:57:47"},
        DisplayCase{0.999999, "h:mm", "0:00"}, DisplayCase{0.999999, "yyyy/m/d h:mm:ss", "1900/1/1 0:00:00"},
        DisplayCase{0.5000001, "h:mm:ss.00", "12:00:00.01"}, DisplayCase{0.5 + 29.6 / 86400, "h:mm:ss", "12:00:30"},
        DisplayCase{0.5 + 59.6 / 86400, "h:mm", "12:01"}, DisplayCase{0.5 + 59.4 / 86400, "h:mm", "12:00"},
        DisplayCase{1.5, "[h]:mm:ss", "36:00:00"}, DisplayCase{0.0625, "[mm]:ss", "90:00"},
        DisplayCase{0.001, "[s]", "86"}, DisplayCase{1.5, "[hh]", "36"}, DisplayCase{0.5 / 24, "[hh]:mm", "00:30"},
        DisplayCase{0.00001, "mm:ss.0", "00:00.9"}, DisplayCase{0.5 + 5.0 / 1440, "h:m", "12:5"},
        DisplayCase{0.0625, "m:ss", "30:00"}, DisplayCase{0.0625, "h:mm:ss", "1:30:00"},
        DisplayCase{kFifthJanuary2024 + 0.0625, "m/d h:m", "1/5 1:30"},
        DisplayCase{0.75, "hh\"时\"mm\"分\"ss\"秒\"", "18时00分00秒"}, DisplayCase{-0.5, "h:mm", "########"},
        DisplayCase{-0.5, "h:mm;-h:mm", "-12:00"}));

// A/P alone, long month runs, fractions of a second after hours alone, the
// era and Buddhist years, the Hijri calendar, and the locale tag choosing the
// names.
INSTANTIATE_TEST_SUITE_P(
    MoreDateCodes, DateDisplay,
    ::testing::Values(
        DisplayCase{0.7, "A/P", "P"}, DisplayCase{0.3, "A/P", "A"}, DisplayCase{0.3, "a/p", "a"},
        DisplayCase{kFifthJanuary2024, "mmmmmm", "January"}, DisplayCase{kFifthJanuary2024, "mmmmmmmm", "January"},
        DisplayCase{kFifthJanuary2024, "mmmmm", "J"}, DisplayCase{0.70707, "hh.000", "16.848"},
        DisplayCase{0.70707, "hh .00", "16 .85"}, DisplayCase{0.70707, "hh .00 .000", "16 .84 .848"},
        DisplayCase{0.70707, "[h].0", "16.8"}, DisplayCase{0.5, "yyyy.00", "1900.00"},
        DisplayCase{kFifthJanuary2024, "e", "2024"}, DisplayCase{kFifthJanuary2024, "bbbb", "2567"},
        DisplayCase{kFifthJanuary2024, "bb", "67"}, DisplayCase{0, "B2yyyymmdd", "13170829"},
        DisplayCase{10000, "B2yyyy-mm-dd", "1345-11-17"}, DisplayCase{kFifthJanuary2024, "B1yyyy/m/d", "2024/1/5"},
        DisplayCase{kFifthJanuary2024, "[$-804]mmmm", "一月"}, DisplayCase{kFifthJanuary2024, "[$-zh-CN]mmmm", "一月"},
        DisplayCase{kFifthJanuary2024, "[$-409]mmmm", "January"},
        DisplayCase{kFifthJanuary2024, "[$-en-US]mmmm", "January"},
        DisplayCase{kFifthJanuary2024, "[$-zh-CN]dddd", "星期五"},
        DisplayCase{kFifthJanuary2024, "[$-en-US]ddd", "Fri"}, DisplayCase{kFifthJanuary2024, "[$-409]dddd", "Friday"},
        DisplayCase{kFifthJanuary2024, "[$-404]dddd", "星期五"},
        DisplayCase{kFifthJanuary2024 + 300, "[$-804]mmmmm", "十"},
        DisplayCase{kFifthJanuary2024, "[$¥-804]mmmm", "¥一月"}, DisplayCase{0.75, "[$-804]h:mm AM/PM", "6:00 下午"},
        DisplayCase{0.75, "[$-409]h:mm AM/PM", "6:00 PM"}, DisplayCase{0.25, "[$-zh-CN]AM/PM h:mm", "上午 6:00"}));

TEST(DateDisplay, ChineseBuiltinCodes) {
    struct Row {
        int id;
        double value;
        const char *shown;
    } rows[] = {
        {14, kFifthJanuary2024, "2024/1/5"},
        {22, kFifthJanuary2024 + 0.5, "2024/1/5 12:00"},
        {15, kFifthJanuary2024, "5-Jan-24"},
        {16, kFifthJanuary2024, "5-Jan"},
        {17, kFifthJanuary2024, "Jan-24"},
        {18, 0.75, "6:00 PM"},
        {19, 0.75 + 5.0 / 86400, "6:00:05 PM"},
        {20, 0.75, "18:00"},
        {21, 0.75, "18:00:00"},
        {27, kFifthJanuary2024, "2024年1月"},
        {28, kFifthJanuary2024, "1月5日"},
        {30, kFifthJanuary2024, "1-5-24"},
        {31, kFifthJanuary2024, "2024年1月5日"},
        {32, 0.75, "18时00分"},
        {33, 0.75, "18时00分00秒"},
        {34, 0.75, "下午6时00分"},
        {35, 0.25, "上午6时00分00秒"},
        {45, 0.0625, "30:00"},
        {46, 1.5, "36:00:00"},
        {47, 0.00001, "00:00.9"},
        {50, kFifthJanuary2024, "2024年1月"},
        {58, kFifthJanuary2024, "1月5日"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(formatNumber(row.value, builtinFormatCode(row.id)), row.shown) << "id " << row.id;
}

}  // namespace
