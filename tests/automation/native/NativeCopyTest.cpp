// SPDX-License-Identifier: Apache-2.0
#include "NativeTestSupport.h"

#include "automation/model/Limits.h"

using namespace native_test;

namespace {
class Copy : public NativeFixture {
protected:
    void SetUp() override {
        src = addWorkbook();
        from = sheet(*src, 1);
        dst = addWorkbook();
        to = sheet(*dst, 1);
    }
    const model::CellStyle &styleAt(Worksheet &ws, uint32_t row, uint32_t column) {
        auto state = stateOf(ws);
        const model::Cell *cell = modelSheet(ws).findCell(row, column);
        EXPECT_NE(cell, nullptr);
        return state->model.styles().at(cell ? cell->style : 0);
    }
    std::unique_ptr<Workbook> src, dst;
    std::unique_ptr<Worksheet> from, to;
};
}  // namespace

TEST_F(Copy, WholeRowCarriesValuesFormatsHeightAndMergesIntoAnotherWorkbook) {
    model::CellStyle bold;
    bold.font.bold = true;
    bold.fill.pattern = 1;
    bold.fill.foreground = model::rgb(0xFFFF00);
    const uint32_t boldId = stateOf(*from)->model.mutableStyles().intern(bold);
    const uint32_t moneyId = styleWithFormat(*from, "#,##0.00");
    modelSheet(*from).setCell(
        3, model::Cell::makeString(1, stateOf(*from)->model.mutableStrings().intern("名称"), boldId));
    putNumber(*from, 3, 2, 1234.5, moneyId);
    put(*from, 3, 3, "merged");
    modelSheet(*from).setCell(3, model::Cell::makeEmpty(4, boldId));
    modelSheet(*from).rowForWrite(3).height = 30;
    modelSheet(*from).merges.push_back(model::CellArea{3, 3, 3, 4});
    modelSheet(*from).merges.push_back(model::CellArea{3, 6, 4, 6});  // reaches into row 4: stays behind
    // The destination row has older content that must go.
    put(*to, 5, 9, "old");
    put(*to, 1, 1, "keep");

    ASSERT_TRUE(from->rows(3)->copy(*to->cells(5, 1)));
    EXPECT_EQ(at(*to, 5, 1), QString::fromUtf8("名称"));
    EXPECT_EQ(at(*to, 5, 2), "1,234.50");
    EXPECT_EQ(at(*to, 5, 3), "merged");
    EXPECT_EQ(at(*to, 5, 9), "");
    EXPECT_EQ(modelSheet(*to).findCell(5, 9), nullptr);
    EXPECT_EQ(at(*to, 1, 1), "keep");
    EXPECT_EQ(styleAt(*to, 5, 1), bold);
    EXPECT_EQ(styleAt(*to, 5, 4), bold);  // a formatted empty cell comes along
    EXPECT_EQ(styleAt(*to, 5, 2).numberFormat, "#,##0.00");
    ASSERT_NE(modelSheet(*to).findRow(5), nullptr);
    EXPECT_EQ(modelSheet(*to).findRow(5)->height, 30.0f);
    ASSERT_EQ(modelSheet(*to).merges.size(), 1u);
    EXPECT_EQ(modelSheet(*to).merges[0], (model::CellArea{5, 3, 5, 4}));

    // Copying again reuses the destination's formats instead of adding new ones.
    const size_t styles = stateOf(*to)->model.styles().size();
    const size_t strings = stateOf(*to)->model.strings().size();
    ASSERT_TRUE(from->rows(3)->copy(*to->cells(6, 1)));
    EXPECT_EQ(stateOf(*to)->model.styles().size(), styles);
    EXPECT_EQ(stateOf(*to)->model.strings().size(), strings);
    EXPECT_EQ(styleAt(*to, 6, 1), bold);
    // The source is untouched.
    EXPECT_EQ(at(*from, 3, 2), "1,234.50");
}

TEST_F(Copy, BlankSourceRowEmptiesTheDestinationRow) {
    put(*to, 2, 1, "x");
    put(*to, 2, 7, "y");
    modelSheet(*to).rowForWrite(2).height = 40;
    ASSERT_TRUE(from->rows(10)->copy(*to->cells(2, 1)));
    EXPECT_EQ(modelSheet(*to).findRow(2), nullptr);
    EXPECT_EQ(to->usedRange()->count(), 1);
}

TEST_F(Copy, WholeColumnLandsCellByCellInTheDestinationColumn) {
    put(*from, 1, 3, "c1");
    put(*from, 4, 3, "c4");
    put(*from, 4, 2, "not copied");
    putNumber(*from, 9, 3, 2.5, styleWithFormat(*from, "0.000"));
    put(*to, 2, 1, "stale");
    put(*to, 2, 2, "neighbour");
    model::ColumnInfo wide;
    wide.first = 2;
    wide.last = 4;
    wide.width = 20;
    modelSheet(*from).columns.push_back(wide);
    model::ColumnInfo narrow;
    narrow.first = 1;
    narrow.last = 3;
    narrow.width = 5;
    modelSheet(*to).columns.push_back(narrow);
    ASSERT_TRUE(from->columns(3)->copy(*to->cells(1, 1)));
    const auto &widths = modelSheet(*to).columns;
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0].first, 1u);
    EXPECT_EQ(widths[0].last, 1u);
    EXPECT_EQ(widths[0].width, 20);
    EXPECT_EQ(widths[1].first, 2u);
    EXPECT_EQ(widths[1].last, 3u);
    EXPECT_EQ(widths[1].width, 5);
    EXPECT_EQ(at(*to, 1, 1), "c1");
    EXPECT_EQ(at(*to, 2, 1), "");
    EXPECT_EQ(at(*to, 4, 1), "c4");
    EXPECT_EQ(at(*to, 9, 1), "2.500");
    EXPECT_EQ(at(*to, 2, 2), "neighbour");
    auto used = to->usedRange();
    EXPECT_EQ(used->row(), 1);
    EXPECT_EQ(used->rowCount(), 9);
    // A whole column only fits at the top of a column, a whole row only at its start.
    EXPECT_FALSE(from->columns(3)->copy(*to->cells(2, 1)));
    EXPECT_FALSE(from->rows(1)->copy(*to->cells(1, 2)));
}

TEST_F(Copy, SingleCellWithItsFormat) {
    putNumber(*from, 2, 5, 0.25, styleWithFormat(*from, "0.0%"));
    put(*to, 7, 1, "over");
    ASSERT_TRUE(from->cells(2, 5)->copy(*to->cells(7, 1)));
    EXPECT_EQ(at(*to, 7, 1), "25.0%");
    ASSERT_TRUE(from->cells(30, 30)->copy(*to->cells(7, 1)));  // an empty cell empties the target
    EXPECT_EQ(modelSheet(*to).findCell(7, 1) ? modelSheet(*to).findCell(7, 1)->isUsed() : false, false);
}

TEST_F(Copy, WithinOneSheetAndIntoClosedWorkbooks) {
    put(*from, 1, 1, "a");
    put(*from, 1, 2, "b");
    ASSERT_TRUE(from->rows(1)->copy(*from->cells(2, 1)));
    EXPECT_EQ(at(*from, 2, 2), "b");
    auto target = to->cells(1, 1);
    dst->close(false);
    EXPECT_FALSE(from->rows(1)->copy(*target));
    EXPECT_FALSE(target->copy(*from->cells(5, 5)));
}
