// SPDX-License-Identifier: Apache-2.0
#include "automation/native/DisplayText.h"
#include "automation/numfmt/NumberFormat.h"
#include "automation/search/TextFold.h"

#include <gtest/gtest.h>

#include <random>

using namespace automation;

// The cache's shortcuts must show numbers exactly as the number formats do.
TEST(DisplayTextCache, AgreesWithTheNumberFormats) {
    model::WorkbookModel wb;
    model::CellStyle fixed;
    fixed.numberFormat = "0.00";
    const uint32_t fixedId = wb.mutableStyles().intern(fixed);
    std::vector<double> values = {
        0,   -0.0,  1,    -1, 7, 123456789, 9999999999.0, -9999999999.0, 1e10, -1e10, 99999999999.0, 123456789012.0,
        0.5, -2.25, 1e-7, 3.1};
    std::mt19937_64 rng(5);
    for (int i = 0; i < 2000; ++i) {
        const double magnitude = std::pow(10.0, static_cast<int>(rng() % 24) - 8);
        values.push_back(std::floor((static_cast<double>(rng() % 2000000) - 1e6) * magnitude));
        values.push_back((static_cast<double>(rng() % 2000000) - 1e6) * magnitude);
    }
    native::DisplayTextCache cache;
    for (int pass = 0; pass < 2; ++pass) {  // the second pass reads the memo
        for (double v : values) {
            for (uint32_t style : {0u, fixedId}) {
                const model::Cell cell = model::Cell::makeNumber(1, v, style);
                const std::string shown = numfmt::formatNumber(v, wb.styles().at(style).numberFormat);
                EXPECT_EQ(native::displayText(wb, cell), shown);
                EXPECT_EQ(cache.folded(wb, cell), search::foldText(std::string_view(shown))) << shown;
            }
        }
    }
}

TEST(DisplayTextCache, TextsBooleansAndErrors) {
    model::WorkbookModel wb;
    const uint32_t id = wb.mutableStrings().intern("MiXeD");
    model::CellStyle suffixed;
    suffixed.numberFormat = "@\" kg\"";
    const uint32_t suffixedId = wb.mutableStyles().intern(suffixed);
    native::DisplayTextCache cache;
    EXPECT_EQ(cache.folded(wb, model::Cell::makeString(1, id)), u"mixed");
    EXPECT_EQ(native::displayText(wb, model::Cell::makeString(1, id, suffixedId)),
              numfmt::formatText("MiXeD", suffixed.numberFormat));
    EXPECT_EQ(native::displayText(wb, model::Cell::makeBoolean(1, false)), "FALSE");
    EXPECT_EQ(cache.folded(wb, model::Cell::makeBoolean(1, true)), u"true");
    EXPECT_EQ(native::displayText(wb, model::Cell::makeError(1, model::CellError::Div0)), "#DIV/0!");
    EXPECT_EQ(native::displayText(wb, model::Cell::makeEmpty(1, suffixedId)), "");
}
