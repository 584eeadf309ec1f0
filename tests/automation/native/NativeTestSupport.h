// Builds workbooks in memory through the automation interface, with a way in
// to the model for what the interface cannot set (number formats, heights).
#pragma once

#include "automation/Automation.h"
#include "automation/native/NativeRange.h"
#include "automation/native/NativeWorksheet.h"

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
    static void put(Worksheet &ws, int row, int column, const QString &text) {
        ASSERT_TRUE(ws.cells(row, column)->setValue(text));
    }
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
