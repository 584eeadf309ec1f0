// SPDX-License-Identifier: Apache-2.0
#include "NativeTestSupport.h"

#include "automation/model/Limits.h"

using namespace native_test;

class Sheets_ : public NativeFixture {};

TEST_F(Sheets_, NewWorkbookHasSheet1AndIsActive) {
    auto wb = addWorkbook();
    ASSERT_NE(wb, nullptr);
    EXPECT_EQ(wb->sheets()->count(), 1);
    EXPECT_EQ(sheet(*wb, 1)->name(), "Sheet1");
    EXPECT_EQ(wb->sheets()->item(0), nullptr);
    EXPECT_EQ(wb->sheets()->item(2), nullptr);
}

TEST_F(Sheets_, AddTakesTheFirstFreeNameAndGoesBeforeItsAnchor) {
    auto wb = addWorkbook();
    auto first = sheet(*wb, 1);
    auto added = wb->sheets()->add(*first);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->name(), "Sheet2");
    EXPECT_EQ(sheet(*wb, 1)->name(), "Sheet2");
    EXPECT_EQ(sheet(*wb, 2)->name(), "Sheet1");
    EXPECT_EQ(first->name(), "Sheet1");  // the handle follows its sheet
    auto third = wb->sheets()->add(*first);
    EXPECT_EQ(third->name(), "Sheet3");
    EXPECT_EQ(sheet(*wb, 2)->name(), "Sheet3");
    // Names compare case-insensitively; a freed name is taken again.
    modelSheet(*third).name = "SHEET2";
    ASSERT_TRUE(added->remove());
    EXPECT_EQ(wb->sheets()->add(*first)->name(), "Sheet3");
    EXPECT_EQ(wb->sheets()->add(*first)->name(), "Sheet4");
    // An anchor of another workbook is refused.
    auto other = addWorkbook();
    EXPECT_EQ(other->sheets()->add(*first), nullptr);
}

TEST_F(Sheets_, DeleteKeepsAtLeastOneSheetAndDeadHandlesFailSoftly) {
    auto wb = addWorkbook();
    auto first = sheet(*wb, 1);
    auto scratch = wb->sheets()->add(*first);
    put(*scratch, 1, 1, "x");
    auto cell = scratch->cells(1, 1);
    ASSERT_TRUE(scratch->remove());
    EXPECT_EQ(wb->sheets()->count(), 1);
    EXPECT_FALSE(scratch->remove());
    EXPECT_EQ(scratch->name(), "");
    EXPECT_EQ(scratch->usedRange(), nullptr);
    EXPECT_EQ(scratch->cells(1, 1), nullptr);
    EXPECT_EQ(cell->value(), "");
    EXPECT_EQ(cell->row(), 0);
    EXPECT_EQ(cell->count(), 0);
    EXPECT_FALSE(cell->clear());
    EXPECT_EQ(cell->find("x", nullptr, kLookInValues, kLookAtWhole), nullptr);
    EXPECT_FALSE(first->remove());  // the last sheet stays
    EXPECT_EQ(first->name(), "Sheet1");
}

TEST_F(Sheets_, UsedRangeOfEmptyFormattedAndClearedSheets) {
    auto wb = addWorkbook();
    auto ws = sheet(*wb, 1);
    struct Expect {
        int row, column;
        long long rows, columns;
    };
    auto check = [&](const Expect &e, const char *what) {
        auto used = ws->usedRange();
        ASSERT_NE(used, nullptr) << what;
        EXPECT_EQ(used->row(), e.row) << what;
        EXPECT_EQ(used->column(), e.column) << what;
        EXPECT_EQ(used->rowCount(), e.rows) << what;
        EXPECT_EQ(used->columnCount(), e.columns) << what;
        EXPECT_EQ(used->count(), e.rows * e.columns) << what;
    };
    check({1, 1, 1, 1}, "empty");
    EXPECT_EQ(ws->usedRange()->value(), "");
    modelSheet(*ws).setCell(4, model::Cell::makeEmpty(3, styleWithFormat(*ws, "0.00")));
    check({4, 3, 1, 1}, "one formatted cell");
    put(*ws, 6, 5, "v");
    check({4, 3, 3, 3}, "formatted and a value");
    ASSERT_TRUE(ws->cells(6, 5)->clear());
    check({4, 3, 1, 1}, "value cleared");
    ASSERT_TRUE(ws->usedRange()->clear());
    check({1, 1, 1, 1}, "cleared");
}

TEST_F(Sheets_, WholeRowsAndColumnsHaveTheFormatsSizes) {
    auto wb = addWorkbook();
    auto ws = sheet(*wb, 1);
    auto row = ws->rows(5);
    EXPECT_EQ(row->row(), 5);
    EXPECT_EQ(row->column(), 1);
    EXPECT_EQ(row->count(), static_cast<long long>(model::kMaxColumns));
    auto column = ws->columns(2);
    EXPECT_EQ(column->rowCount(), static_cast<long long>(model::kMaxRows));
    EXPECT_EQ(column->count(), static_cast<long long>(model::kMaxRows));
    EXPECT_EQ(ws->rows(0), nullptr);
    EXPECT_EQ(ws->columns(static_cast<int>(model::kMaxColumns) + 1), nullptr);
    // A destination cell may lie past the grid (results saved as CSV), a whole row may not.
    EXPECT_EQ(ws->rows(static_cast<int>(model::kMaxRows) + 1), nullptr);
    ASSERT_NE(ws->cells(static_cast<int>(model::kMaxRows) + 1, 1), nullptr);
    EXPECT_EQ(ws->cells(static_cast<int>(model::kMaxRows) + 1, 1)->row(), static_cast<int>(model::kMaxRows) + 1);
    EXPECT_EQ(ws->cells(static_cast<int>(model::kMaxAppendRows) + 1, 1), nullptr);
    EXPECT_EQ(ws->cells(0, 1), nullptr);
}

TEST_F(Sheets_, ClosedWorkbookAndQuitLeaveSafeHandles) {
    auto wb = addWorkbook();
    auto sheets = wb->sheets();
    auto ws = sheet(*wb, 1);
    auto cell = ws->cells(1, 1);
    put(*ws, 1, 1, "x");
    wb->close(false);
    EXPECT_EQ(wb->sheets(), nullptr);
    EXPECT_EQ(sheets->count(), 0);
    EXPECT_EQ(sheets->item(1), nullptr);
    EXPECT_EQ(ws->name(), "");
    EXPECT_EQ(cell->value(), "");
    EXPECT_FALSE(cell->clear());
    EXPECT_FALSE(wb->saveAs("/tmp/never.xlsx").ok);
    EXPECT_EQ(app->activeWorkbook(), nullptr);
    wb->close(false);  // twice is harmless

    auto a = addWorkbook();
    auto b = addWorkbook();
    a->close(false);
    EXPECT_NE(app->activeWorkbook(), nullptr);  // b is still open
    auto bSheet = sheet(*b, 1);
    app->quit();
    EXPECT_EQ(app->activeWorkbook(), nullptr);
    EXPECT_EQ(bSheet->usedRange(), nullptr);
    app.reset();  // handles outlive the application
    EXPECT_EQ(bSheet->name(), "");
    EXPECT_EQ(b->sheets(), nullptr);
}

TEST(Factory, OnlyTheKnownClassGivesWorkbooks) {
    EXPECT_NE(createApplication("Excel.Application")->workbooks(), nullptr);
    auto none = createApplication("Other.Application");
    EXPECT_EQ(none->workbooks(), nullptr);
    EXPECT_EQ(none->activeWorkbook(), nullptr);

    QString asked;
    setApplicationFactory([&](const QString &name) {
        asked = name;
        return createApplication("nothing");
    });
    EXPECT_EQ(applicationFactory()("Excel.Application")->workbooks(), nullptr);
    EXPECT_EQ(asked, "Excel.Application");
    setApplicationFactory(nullptr);
    EXPECT_NE(applicationFactory()("Excel.Application")->workbooks(), nullptr);
}
