// SPDX-License-Identifier: Apache-2.0
// Date and time sections over the serial day numbers of the two date systems.
#include "automation/numfmt/SectionRenderers.h"

#include "automation/numfmt/ChineseNumerals.h"
#include "automation/numfmt/HijriCalendar.h"

#include <charconv>
#include <cmath>

namespace automation::numfmt {

namespace {

// 9999-12-31 in the 1900 system; later serials are no date.
constexpr double kLastSerial1900 = 2958465.0;
// 9999-12-31 in the 1904 system.
constexpr double kLastSerial1904 = 2957003.0;
constexpr long long kSecondsPerDay = 86400;
// The 1900 system counts a 29 February 1900 that never was (serial 60).
constexpr long long kFictitiousLeapDay = 60;
// Days from 1970-01-01 back to the day before serial 1 in each system.
constexpr long long kEpochOffset1900 = 25569;  // 1899-12-30, valid past the fictitious day
constexpr long long kEpochOffset1904 = 24107;  // 1904-01-01 is serial 0
constexpr unsigned kChineseLocale = 0x804;
constexpr unsigned kLanguageMask = 0x3FF;
// The Buddhist era counts from 543 BC.
constexpr long long kBuddhistEraOffset = 543;

constexpr const char *kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
constexpr const char *kChineseMonthNames[12] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                                "七月", "八月", "九月", "十月", "十一月", "十二月"};
// Bytes of one CJK character in UTF-8.
constexpr size_t kChineseCharacterBytes = 3;
constexpr const char *kWeekdayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char *kChineseWeekdayDigits[7] = {"日", "一", "二", "三", "四", "五", "六"};

struct CivilDate {
    long long year = 1900;
    int month = 1;
    int day = 0;
    int weekday = 0;  // 0 Sunday
};

// Gregorian date of a day count from 1970-01-01.
CivilDate civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

CivilDate dateOfSerial(long long days, bool date1904) {
    CivilDate date;
    if (date1904) {
        date = civilFromDays(days - kEpochOffset1904);
        date.weekday = static_cast<int>((days + 5) % 7);
        return date;
    }
    if (days == 0) {
        date = CivilDate{1900, 1, 0, 0};
    } else if (days == kFictitiousLeapDay) {
        date = CivilDate{1900, 2, 29, 0};
    } else if (days < kFictitiousLeapDay) {
        date = civilFromDays(days - kEpochOffset1900 + 1);
    } else {
        date = civilFromDays(days - kEpochOffset1900);
    }
    // Serial 1 is a Sunday in the 1900 system (the fictitious day included).
    date.weekday = static_cast<int>((days + 6) % 7);
    return date;
}

// The day a serial falls on, counted from 1970-01-01; the fictitious 29
// February 1900 falls on 1 March.
long long daysSince1970(long long days, bool date1904) {
    if (date1904) return days - kEpochOffset1904;
    return days <= kFictitiousLeapDay ? days - kEpochOffset1900 + 1 : days - kEpochOffset1900;
}

// Zero padding wider than this is taken as a slip in the code.
constexpr int kMaxFieldWidth = 20;

void appendNumber(long long value, int minWidth, std::string &out) {
    char buffer[24];
    const auto converted = std::to_chars(buffer, buffer + sizeof buffer, value);
    const int length = static_cast<int>(converted.ptr - buffer);
    const int width = minWidth < kMaxFieldWidth ? minWidth : kMaxFieldWidth;
    if (length < width) out.append(static_cast<size_t>(width - length), '0');
    out.append(buffer, converted.ptr);
}

// A numeric field; with Chinese numerals years read digit by digit (二〇二四)
// and the other fields with units (十二).
void appendField(long long value, int minWidth, bool digitByDigit, int numerals, std::string &out) {
    if (numerals == 0) {
        appendNumber(value, minWidth, out);
        return;
    }
    std::string plain;
    appendNumber(value, minWidth, plain);
    out += digitByDigit ? chineseDigits(plain, numerals) : chineseInteger(plain, numerals);
}

void appendFirstLetter(const char *name, std::string &out) { out.push_back(name[0]); }

}  // namespace

bool renderDateSection(const Section &section, double value, bool date1904, std::string &out) {
    if (!section.hasDateOrTime) {
        renderTextSection(section, {}, out);
        return true;
    }
    const double lastSerial = date1904 ? kLastSerial1904 : kLastSerial1900;
    if (!(value >= 0.0) || value >= lastSerial + 1.0) return false;
    long long scale = 1;
    for (int i = 0; i < section.subSecondDigits; ++i) scale *= 10;
    // Rounded once to the finest unit shown; a carry may reach the next day.
    const long long units = std::llround(value * static_cast<double>(kSecondsPerDay * scale));
    const long long unitsPerDay = kSecondsPerDay * scale;
    const long long days = units / unitsPerDay;
    const long long totalSeconds = units / scale;
    const long long secondOfDay = totalSeconds % kSecondsPerDay;
    const long long subSecondUnits = units % scale;
    const int hour = static_cast<int>(secondOfDay / 3600);
    const int minute = static_cast<int>(secondOfDay / 60 % 60);
    const int second = static_cast<int>(secondOfDay % 60);
    CivilDate date = dateOfSerial(days, date1904);
    if (section.hijri) {
        const HijriDate hijri = hijriFromDays(daysSince1970(days, date1904));
        date.year = hijri.year;
        date.month = hijri.month;
        date.day = hijri.day;
    }
    // Every Chinese locale (zh-CN, zh-TW, zh-HK...) shares the language's low bits.
    const bool chinese = (section.locale & kLanguageMask) == (kChineseLocale & kLanguageMask);
    const int numerals = section.chineseNumerals;
    int shownHour = hour;
    if (section.twelveHour) {
        shownHour = hour % 12;
        if (shownHour == 0) shownHour = 12;
    }

    for (const Token &token : section.tokens) {
        switch (token.kind) {
            case TokenKind::Literal:
                out += token.text;
                break;
            case TokenKind::YearShort:
                appendField(date.year % 100, 2, true, numerals, out);
                break;
            case TokenKind::YearLong:
                appendField(date.year, 4, true, numerals, out);
                break;
            case TokenKind::BuddhistYearShort:
                appendField((date.year + kBuddhistEraOffset) % 100, 2, true, numerals, out);
                break;
            case TokenKind::BuddhistYearLong:
                appendField(date.year + kBuddhistEraOffset, 4, true, numerals, out);
                break;
            case TokenKind::Month:
                appendField(date.month, 1, false, numerals, out);
                break;
            case TokenKind::MonthPadded:
                appendField(date.month, 2, false, numerals, out);
                break;
            case TokenKind::MonthAbbr:
                if (chinese) {
                    appendField(date.month, 1, false, numerals, out);
                    out += "月";
                } else {
                    out.append(kMonthNames[date.month - 1], 3);
                }
                break;
            case TokenKind::MonthFull:
                out += chinese ? kChineseMonthNames[date.month - 1] : kMonthNames[date.month - 1];
                break;
            case TokenKind::MonthLetter:
                // The first character of the name: 一 for 一月, 十 for 十二月.
                if (chinese)
                    out.append(kChineseMonthNames[date.month - 1], kChineseCharacterBytes);
                else
                    appendFirstLetter(kMonthNames[date.month - 1], out);
                break;
            case TokenKind::Day:
                appendField(date.day, 1, false, numerals, out);
                break;
            case TokenKind::DayPadded:
                appendField(date.day, 2, false, numerals, out);
                break;
            case TokenKind::WeekdayAbbr:
                if (chinese) {
                    out += "周";
                    out += kChineseWeekdayDigits[date.weekday];
                } else {
                    out.append(kWeekdayNames[date.weekday], 3);
                }
                break;
            case TokenKind::WeekdayFull:
                if (chinese) {
                    out += "星期";
                    out += kChineseWeekdayDigits[date.weekday];
                } else {
                    out += kWeekdayNames[date.weekday];
                }
                break;
            case TokenKind::WeekdayChineseShort:
                out += kChineseWeekdayDigits[date.weekday];
                break;
            case TokenKind::WeekdayChineseFull:
                out += "星期";
                out += kChineseWeekdayDigits[date.weekday];
                break;
            case TokenKind::Hour:
                appendField(shownHour, 1, false, numerals, out);
                break;
            case TokenKind::HourPadded:
                appendField(shownHour, 2, false, numerals, out);
                break;
            case TokenKind::Minute:
                appendField(minute, 1, false, numerals, out);
                break;
            case TokenKind::MinutePadded:
                appendField(minute, 2, false, numerals, out);
                break;
            case TokenKind::Second:
                appendField(second, 1, false, numerals, out);
                break;
            case TokenKind::SecondPadded:
                appendField(second, 2, false, numerals, out);
                break;
            case TokenKind::ElapsedHours:
                appendField(totalSeconds / 3600, token.width, false, numerals, out);
                break;
            case TokenKind::ElapsedMinutes:
                appendField(totalSeconds / 60, token.width, false, numerals, out);
                break;
            case TokenKind::ElapsedSeconds:
                appendField(totalSeconds, token.width, false, numerals, out);
                break;
            case TokenKind::SubSecond: {
                std::string digits;
                appendNumber(subSecondUnits, section.subSecondDigits, digits);
                out.push_back('.');
                out.append(digits, 0, token.width);
                break;
            }
            case TokenKind::AmPm: {
                // AM/PM shows in capitals however written (上午/下午 in a Chinese
                // locale); A/P and 上午/下午 as written.
                const size_t slash = token.text.find('/');
                if (slash == 2 && chinese)
                    out += hour < 12 ? "上午" : "下午";
                else if (slash == 2)
                    out += hour < 12 ? "AM" : "PM";
                else
                    out += hour < 12 ? token.text.substr(0, slash) : token.text.substr(slash + 1);
                break;
            }
            default:
                break;
        }
    }
    return true;
}

}  // namespace automation::numfmt
