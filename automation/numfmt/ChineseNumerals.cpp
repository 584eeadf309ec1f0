// SPDX-License-Identifier: Apache-2.0
#include "automation/numfmt/ChineseNumerals.h"

namespace automation::numfmt {

namespace {

constexpr int kPlainStyle = 1;
constexpr int kFinancialStyle = 2;
constexpr int kFullWidthStyle = 3;
constexpr size_t kGroupDigits = 4;  // Chinese numerals group by ten thousand

constexpr const char *kPlainDigits[10] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr const char *kFinancialDigits[10] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr const char *kFullWidthDigits[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
constexpr const char *kPlainUnits[4] = {"", "十", "百", "千"};
constexpr const char *kFinancialUnits[4] = {"", "拾", "佰", "仟"};
// Units of the four-digit groups from the right: ones, 万, 亿, 万亿.
constexpr const char *kGroupUnits[4] = {"", "万", "亿", "万亿"};

const char *digitName(char digit, int style) {
    const int d = digit - '0';
    if (style == kFinancialStyle) return kFinancialDigits[d];
    if (style == kFullWidthStyle) return kFullWidthDigits[d];
    return kPlainDigits[d];
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string chineseDigits(std::string_view digits, int style) {
    std::string out;
    for (char c : digits) out += isDigit(c) ? digitName(c, style) : std::string(1, c);
    return out;
}

std::string chineseInteger(std::string_view digits, int style) {
    if (style == kFullWidthStyle) return chineseDigits(digits, style);
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.empty() || digits == "0") return digitName('0', style);
    // Past 万亿 the units run out; such numbers are read digit by digit.
    if (digits.size() > kGroupDigits * 4) return chineseDigits(digits, style);
    const char *const *units = style == kFinancialStyle ? kFinancialUnits : kPlainUnits;
    std::string out;
    bool pendingZero = false;
    const size_t length = digits.size();
    for (size_t i = 0; i < length; ++i) {
        const size_t position = length - 1 - i;  // from the right
        const size_t unit = position % kGroupDigits;
        const size_t group = position / kGroupDigits;
        if (digits[i] == '0') {
            pendingZero = true;
        } else {
            if (pendingZero && !out.empty()) out += digitName('0', style);
            pendingZero = false;
            // Plain numerals read 10-19 at the start as 十, 十一... not 一十.
            const bool bareTen = style == kPlainStyle && out.empty() && digits[i] == '1' && unit == 1;
            if (!bareTen) out += digitName(digits[i], style);
            out += units[unit];
        }
        if (unit == 0) {
            // Close a group: its unit unless all four digits were zero.
            const size_t groupStart = i + 1 >= kGroupDigits ? i + 1 - kGroupDigits : 0;
            const std::string_view groupDigits = digits.substr(groupStart, i + 1 - groupStart);
            if (group > 0 && groupDigits.find_first_not_of('0') != std::string_view::npos) out += kGroupUnits[group];
        }
    }
    return out;
}

std::string toChineseNumerals(std::string_view display, int style) {
    std::string out;
    size_t i = 0;
    while (i < display.size()) {
        if (!isDigit(display[i])) {
            out.push_back(display[i]);
            ++i;
            continue;
        }
        size_t end = i;
        std::string run;
        // Thousands separators inside an integer are dropped: the units replace them.
        while (end < display.size() && (isDigit(display[end]) || (display[end] == ',' && end + 1 < display.size() &&
                                                                  isDigit(display[end + 1])))) {
            if (display[end] != ',') run.push_back(display[end]);
            ++end;
        }
        const bool afterPoint = i > 0 && display[i - 1] == '.';
        out += afterPoint ? chineseDigits(run, style) : chineseInteger(run, style);
        i = end;
    }
    return out;
}

}  // namespace automation::numfmt
