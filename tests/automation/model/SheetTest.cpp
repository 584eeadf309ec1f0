// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Limits.h"
#include "automation/model/Sheet.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace automation::model;

namespace {
CellArea areaOf(const Sheet &sheet) {
    CellArea a{0, 0, 0, 0};
    EXPECT_TRUE(sheet.usedArea(&a));
    return a;
}
CellArea cellBlock(uint32_t r1, uint32_t c1, uint32_t r2, uint32_t c2) { return CellArea{r1, c1, r2, c2}; }
}  // namespace

TEST(Sheet, SetCellKeepsRowsAndCellsOrderedAndReplaces) {
    Sheet s;
    s.setCell(5, Cell::makeNumber(3, 1.0));
    s.setCell(2, Cell::makeNumber(7, 2.0));
    s.setCell(5, Cell::makeNumber(1, 3.0));
    s.setCell(5, Cell::makeNumber(3, 4.0));  // replaces
    ASSERT_EQ(s.rows().size(), 2u);
    EXPECT_EQ(s.rows()[0].index, 2u);
    EXPECT_EQ(s.rows()[1].index, 5u);
    ASSERT_EQ(s.rows()[1].cells.size(), 2u);
    EXPECT_EQ(s.rows()[1].cells[0].column, 1u);
    EXPECT_EQ(s.findCell(5, 3)->number, 4.0);
    EXPECT_EQ(s.findCell(5, 2), nullptr);
    EXPECT_EQ(s.cellCount(), 3u);
}

TEST(Sheet, UsedAreaOfEmptySheetIsNone) {
    Sheet s;
    CellArea a;
    EXPECT_FALSE(s.usedArea(&a));
    s.setCell(3, Cell::makeEmpty(3, 0));  // neither value nor format
    EXPECT_FALSE(s.usedArea(&a));
}

TEST(Sheet, UsedAreaCountsFormattedEmptyCells) {
    Sheet s;
    s.setCell(4, Cell::makeNumber(2, 1));
    s.setCell(9, Cell::makeEmpty(6, 3));
    EXPECT_EQ(areaOf(s), cellBlock(4, 2, 9, 6));
}

struct ShrinkCase {
    const char *name;
    uint32_t row, column;  // the cell whose value goes
    CellArea expected;
};

class UsedAreaShrink : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(UsedAreaShrink, ClearingAValueShrinksOnlyWhenNoFormatStays) {
    const ShrinkCase &c = GetParam();
    Sheet s;
    s.setCell(2, Cell::makeNumber(2, 1));
    s.setCell(5, Cell::makeNumber(5, 1));
    s.setCell(3, Cell::makeNumber(3, 1));
    s.setCell(8, Cell::makeNumber(4, 1, /*style*/ 2));  // keeps its format when emptied
    ASSERT_EQ(areaOf(s), cellBlock(2, 2, 8, 5));
    EXPECT_TRUE(s.clearValue(c.row, c.column));
    EXPECT_FALSE(s.clearValue(c.row, c.column));  // nothing left to empty
    EXPECT_EQ(areaOf(s), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, UsedAreaShrink,
                         ::testing::Values(ShrinkCase{"top-left corner", 2, 2, {3, 3, 8, 5}},
                                           ShrinkCase{"right edge", 5, 5, {2, 2, 8, 4}},
                                           ShrinkCase{"inner cell", 3, 3, {2, 2, 8, 5}},
                                           ShrinkCase{"formatted bottom", 8, 4, {2, 2, 8, 5}}),
                         [](const auto &caseInfo) {
                             std::string n = caseInfo.param.name;
                             for (char &ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST(Sheet, ClearAreaRemovesValuesFormatsAndMerges) {
    Sheet s;
    for (uint32_t r = 1; r <= 4; ++r)
        for (uint32_t c = 1; c <= 4; ++c) s.setCell(r, Cell::makeNumber(c, r * 10 + c, 1));
    s.merges.push_back(cellBlock(2, 2, 2, 3));
    s.merges.push_back(cellBlock(4, 1, 4, 2));
    s.clearArea(cellBlock(1, 2, 3, 4));
    EXPECT_EQ(s.findCell(2, 2), nullptr);
    ASSERT_NE(s.findCell(2, 1), nullptr);
    EXPECT_EQ(s.findCell(2, 1)->number, 21);
    ASSERT_EQ(s.merges.size(), 1u);
    EXPECT_EQ(s.merges[0], cellBlock(4, 1, 4, 2));
    EXPECT_EQ(areaOf(s), cellBlock(1, 1, 4, 4));
    s.clearArea(cellBlock(1, 1, kMaxRows, kMaxColumns));
    CellArea a;
    EXPECT_FALSE(s.usedArea(&a));
    EXPECT_TRUE(s.rows().empty());
}

TEST(Sheet, ClearingWholeRowsDropsTheirHeightAndFormat) {
    Sheet s;
    Row &r = s.rowForWrite(3);
    r.height = 30;
    r.style = 4;
    s.setCell(3, Cell::makeNumber(1, 1));
    s.rowForWrite(5).height = 20;
    s.clearArea(cellBlock(3, 1, 3, kMaxColumns));
    EXPECT_EQ(s.findRow(3), nullptr);
    ASSERT_NE(s.findRow(5), nullptr);    // another row keeps its height
    s.clearArea(cellBlock(5, 2, 5, 9));  // part of a row keeps the row's format
    ASSERT_NE(s.findRow(5), nullptr);
    EXPECT_EQ(s.findRow(5)->height, 20);
}

TEST(Sheet, ReplaceRowTakesCellsHeightAndFormat) {
    Sheet s;
    s.setCell(2, Cell::makeNumber(1, 1));
    s.setCell(2, Cell::makeNumber(9, 1));
    s.setCell(4, Cell::makeNumber(3, 1));
    Row source;
    source.height = 42;
    source.style = 7;
    source.hidden = true;
    source.cells.push_back(Cell::makeNumber(2, 5));
    s.replaceRow(2, source);
    const Row *r = s.findRow(2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->height, 42);
    EXPECT_EQ(r->style, 7u);
    EXPECT_TRUE(r->hidden);
    ASSERT_EQ(r->cells.size(), 1u);
    EXPECT_EQ(r->cells[0].column, 2u);
    EXPECT_EQ(areaOf(s), cellBlock(2, 2, 4, 3));  // column 9 and 1 went with the old row
}

TEST(Sheet, VersionCountsEveryChange) {
    Sheet s;
    const uint64_t v0 = s.version();
    s.setCell(1, Cell::makeNumber(1, 1));
    const uint64_t v1 = s.version();
    EXPECT_GT(v1, v0);
    EXPECT_FALSE(s.clearValue(9, 9));
    EXPECT_EQ(s.version(), v1);  // no change, no new version
    s.clearValue(1, 1);
    EXPECT_GT(s.version(), v1);
}

TEST(Sheet, ClearedCopyEqualsClearArea) {
    Sheet s;
    s.name = "Data";
    s.uid = 7;
    for (uint32_t r = 1; r <= 6; ++r)
        for (uint32_t c = 1; c <= 5; ++c)
            if ((r + c) % 2) s.setCell(r, Cell::makeNumber(c, r * 100 + c, c == 5 ? 3 : 0));
    s.rowForWrite(2).height = 25;
    s.merges.push_back(cellBlock(1, 1, 1, 2));
    s.merges.push_back(cellBlock(6, 4, 6, 5));
    const CellArea blocks[] = {cellBlock(2, 2, 4, 4), cellBlock(1, 1, kMaxRows, 3), cellBlock(2, 1, 3, kMaxColumns),
                               cellBlock(1, 1, kMaxRows, kMaxColumns)};
    for (const CellArea &block : blocks) {
        Sheet inPlace = s;
        inPlace.clearArea(block);
        const Sheet copy = s.clearedCopy(block);
        EXPECT_EQ(copy.name, "Data");
        EXPECT_EQ(copy.uid, 7u);
        EXPECT_GT(copy.version(), s.version());
        ASSERT_EQ(copy.rows().size(), inPlace.rows().size());
        for (size_t i = 0; i < copy.rows().size(); ++i) {
            const Row &a = copy.rows()[i], &b = inPlace.rows()[i];
            EXPECT_EQ(a.index, b.index);
            EXPECT_EQ(a.height, b.height);
            ASSERT_EQ(a.cells.size(), b.cells.size());
            for (size_t j = 0; j < a.cells.size(); ++j) {
                EXPECT_EQ(a.cells[j].column, b.cells[j].column);
                EXPECT_EQ(a.cells[j].number, b.cells[j].number);
            }
        }
        EXPECT_EQ(copy.merges.size(), inPlace.merges.size());
        CellArea ua{}, ub{};
        EXPECT_EQ(copy.usedArea(&ua), inPlace.usedArea(&ub));
        EXPECT_EQ(ua, ub);
    }
}

// Spans in any order, overlapping as a damaged file may list them, leave the
// sheet with ordered spans that do not overlap, whatever reader read them.
TEST(Sheet, ColumnSpansSettleInOrderWithoutOverlap) {
    auto span = [](uint32_t first, uint32_t last, double width) {
        ColumnInfo c;
        c.first = first;
        c.last = last;
        c.width = width;
        return c;
    };
    std::vector<ColumnInfo> columns{span(5, 10, 1), span(3, 6, 2), span(3, 4, 3), span(12, 11, 4), span(20, 20, 5)};
    settleColumns(&columns);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(std::make_tuple(columns[0].first, columns[0].last, columns[0].width), std::make_tuple(3u, 6u, 2.0));
    EXPECT_EQ(std::make_tuple(columns[1].first, columns[1].last, columns[1].width), std::make_tuple(7u, 10u, 1.0));
    EXPECT_EQ(std::make_tuple(columns[2].first, columns[2].last, columns[2].width), std::make_tuple(20u, 20u, 5.0));
}
