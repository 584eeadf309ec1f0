// SPDX-License-Identifier: Apache-2.0
// The arithmetic Hijri calendar that the B2 prefix of a date code selects.
#pragma once

namespace automation::numfmt {

struct HijriDate {
    long long year = 1;
    int month = 1;
    int day = 1;
};

// The Hijri date of a day counted from 1970-01-01 (negative before it).
HijriDate hijriFromDays(long long daysSince1970);

}  // namespace automation::numfmt
