// SPDX-License-Identifier: Apache-2.0
// Builds workbooks in memory through the automation interface, with a way in
// to the model for what the interface cannot set (values, number formats, heights).
#pragma once

#include "automation/Automation.h"
#include "automation/native/NativeRange.h"
#include "automation/native/NativeWorksheet.h"
#include "automation/numfmt/NumberFormat.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace native_test {

using namespace automation;

class NativeFixture : public ::testing::Test {
protected:
    std::unique_ptr<Application> app = createApplication(QStringLiteral("Excel.Application"));

    std::unique_ptr<Workbook> addWorkbook() {
        EXPECT_TRUE(app->workbooks()->add());
        return app->activeWorkbook();
    }
    static std::unique_ptr<Worksheet> sheet(Workbook &wb, int index) { return wb.sheets()->item(index); }
    // A typed entry: a number when the General format shows it back unchanged, else text.
    static void put(Worksheet &ws, int row, int column, const QString &text);
    static QString at(Worksheet &ws, int row, int column) { return ws.cells(row, column)->value(); }
};

inline std::shared_ptr<native::WorkbookState> stateOf(Worksheet &ws) {
    return dynamic_cast<native::NativeWorksheet &>(ws).workbook();
}

inline model::Sheet &modelSheet(Worksheet &ws) {
    auto state = stateOf(ws);
    const uint32_t uid = dynamic_cast<native::NativeWorksheet &>(ws).uid();
    // Rows appended below the end wait in the sheet's spill; tests look at them in the model.
    EXPECT_TRUE(state->settle(uid));
    return state->model.mutableSheet(static_cast<size_t>(state->sheetIndex(uid)));
}

inline void NativeFixture::put(Worksheet &ws, int row, int column, const QString &text) {
    const std::string utf8 = text.toStdString();
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    const auto c = static_cast<uint32_t>(column);
    model::Sheet &sheet = modelSheet(ws);
    const model::Cell *old = sheet.findCell(static_cast<uint32_t>(row), c);
    const uint32_t style = old ? old->style : 0;
    if (isNumber && numfmt::formatGeneral(number) == utf8) {
        sheet.setCell(static_cast<uint32_t>(row), model::Cell::makeNumber(c, number, style));
    } else {
        const uint32_t id = stateOf(ws)->model.mutableStrings().intern(utf8);
        sheet.setCell(static_cast<uint32_t>(row), model::Cell::makeString(c, id, style));
    }
}

inline uint32_t styleWithFormat(Worksheet &ws, const std::string &code) {
    model::CellStyle style;
    style.numberFormat = code;
    return stateOf(ws)->model.mutableStyles().intern(style);
}

inline void putNumber(Worksheet &ws, uint32_t row, uint32_t column, double value, uint32_t style = 0) {
    modelSheet(ws).setCell(row, model::Cell::makeNumber(column, value, style));
}

// "B3" style address of a found cell, or "-" when none.
inline std::string address(const Range *r) {
    if (!r) return "-";
    std::string name;
    for (int c = r->column(); c > 0; c = (c - 1) / 26) name.insert(name.begin(), char('A' + (c - 1) % 26));
    return name + std::to_string(r->row());
}

}  // namespace native_test
