// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/HijriCalendar.h"

namespace automation::numfmt {

namespace {

// Thirty-year cycles of 354-day years with eleven leap years of 355 days.
constexpr long long kDaysPerCycle = 10631;
constexpr int kYearsPerCycle = 30;
// Day 0 of the count (1 Muharram 1 AH) lies this many days before 1970-01-01;
// it puts 2000-01-01 on 25 Ramadan 1420, as the application does.
constexpr long long kEpochBefore1970 = 492149;

// Leap years by their place in the cycle (30 written as 0); with these the
// application's B2 dates agree (1317-08-29 for the day before 1900-01-01).
bool isLeapYear(long long year) {
    switch (year % kYearsPerCycle) {
        case 2:
        case 5:
        case 8:
        case 11:
        case 13:
        case 16:
        case 19:
        case 21:
        case 24:
        case 27:
        case 0:
            return true;
        default:
            return false;
    }
}

int daysInYear(long long year) { return isLeapYear(year) ? 355 : 354; }

// Odd months have 30 days, even ones 29; the last month of a leap year 30.
int daysInMonth(long long year, int month) { return (month % 2 == 1 || (month == 12 && isLeapYear(year))) ? 30 : 29; }

}  // namespace

HijriDate hijriFromDays(long long daysSince1970) {
    long long day = daysSince1970 + kEpochBefore1970;
    long long cycle = day / kDaysPerCycle;
    day %= kDaysPerCycle;
    if (day < 0) {
        day += kDaysPerCycle;
        --cycle;
    }
    HijriDate date;
    date.year = cycle * kYearsPerCycle + 1;
    while (day >= daysInYear(date.year)) {
        day -= daysInYear(date.year);
        ++date.year;
    }
    while (day >= daysInMonth(date.year, date.month)) {
        day -= daysInMonth(date.year, date.month);
        ++date.month;
    }
    date.day = static_cast<int>(day) + 1;
    return date;
}

}  // namespace automation::numfmt
