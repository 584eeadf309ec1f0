// SPDX-License-Identifier: Apache-2.0
// Chinese numerals for the [DBNum1] (一百二十三), [DBNum2] (壹佰贰拾叁) and
// [DBNum3] (full-width digits) tags.
#pragma once

#include <string>
#include <string_view>

namespace automation::numfmt {

// An unsigned decimal integer (ASCII digits) with units: 10203 -> 一万〇二百〇三.
std::string chineseInteger(std::string_view digits, int style);

// Each ASCII digit replaced on its own: 2024 -> 二〇二四.
std::string chineseDigits(std::string_view digits, int style);

// A rendered number with its integer runs given units and the digits after a
// decimal point converted one by one; other characters kept.
std::string toChineseNumerals(std::string_view display, int style);

}  // namespace automation::numfmt
