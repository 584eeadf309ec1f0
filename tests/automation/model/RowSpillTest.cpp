// SPDX-License-Identifier: Apache-2.0
// The spill of rows appended below a sheet's end: what goes in comes back out,
// in order, whether it still sits in memory or already went to the file.
#include "automation/model/RowSpill.h"

#include <gtest/gtest.h>

#include <string>

using namespace automation::model;

namespace {

// Row n: a text whose length varies (so records straddle read chunks), a
// number, and every fourth row a boolean, an error, a formatted empty cell,
// a height and a merge.
void appendRow(RowSpill &spill, uint32_t n) {
    const bool rich = n % 4 == 0;
    spill.beginRow(n, rich ? 20.5f : -1.0f, rich ? 3 : 0, n % 8 == 0);
    const std::string text = "行" + std::to_string(n) + std::string(n % 37, 'x');
    spill.addCell(Cell::makeString(1, 0, 2), text);
    spill.addCell(Cell::makeNumber(2, n * 0.5), {});
    if (rich) {
        spill.addCell(Cell::makeBoolean(3, true), {});
        spill.addCell(Cell::makeError(4, CellError::Div0), {});
        spill.addCell(Cell::makeEmpty(6, 5), {});
        spill.addMerge(CellArea{n, 4, n, 5});
    }
    spill.endRow();
}

// Reads the whole spill back and checks every row; the number of rows read.
uint32_t readBack(RowSpill &spill, uint32_t step) {
    SpilledRow row;
    uint32_t expected = step, count = 0;
    spill.rewind();
    while (spill.next(&row)) {
        const bool rich = expected % 4 == 0;
        EXPECT_EQ(row.row.index, expected);
        EXPECT_EQ(row.row.height, rich ? 20.5f : -1.0f);
        EXPECT_EQ(row.row.style, rich ? 3u : 0u);
        EXPECT_EQ(row.row.hidden, expected % 8 == 0);
        EXPECT_EQ(row.row.cells.size(), rich ? 5u : 2u);
        if (row.row.cells.size() < 2) return count;
        EXPECT_EQ(row.text(row.row.cells[0]), "行" + std::to_string(expected) + std::string(expected % 37, 'x'));
        EXPECT_EQ(row.row.cells[0].style, 2u);
        EXPECT_EQ(row.row.cells[1].type, CellType::Number);
        EXPECT_EQ(row.row.cells[1].number, expected * 0.5);
        if (rich && row.row.cells.size() == 5) {
            EXPECT_TRUE(row.row.cells[2].boolean);
            EXPECT_EQ(row.row.cells[3].error, CellError::Div0);
            EXPECT_EQ(row.row.cells[4].type, CellType::Empty);
            EXPECT_EQ(row.row.cells[4].style, 5u);
            EXPECT_EQ(row.merges.size(), 1u);
            if (row.merges.size() == 1) {
                EXPECT_EQ(row.merges[0], (CellArea{expected, 4, expected, 5}));
            }
        }
        if (::testing::Test::HasFailure()) return count;
        expected += step;
        ++count;
    }
    EXPECT_EQ(spill.error(), "");
    return count;
}

}  // namespace

TEST(RowSpill, SmallSpillStaysInMemoryAndReadsBackWhole) {
    RowSpill spill;
    EXPECT_EQ(spill.lastRow(), 0u);
    EXPECT_FALSE(spill.usedArea(nullptr));
    for (uint32_t n = 3; n <= 30; n += 3) appendRow(spill, n);
    EXPECT_EQ(spill.rows(), 10u);
    EXPECT_EQ(spill.firstRow(), 3u);
    EXPECT_EQ(spill.lastRow(), 30u);
    CellArea used;
    ASSERT_TRUE(spill.usedArea(&used));
    EXPECT_EQ(used, (CellArea{3, 1, 30, 6}));
    EXPECT_EQ(readBack(spill, 3), 10u);
    EXPECT_EQ(readBack(spill, 3), 10u);  // reading twice gives the same rows
}

TEST(RowSpill, LargeSpillGoesThroughTheFileAndTakesMoreRowsAfterAReading) {
    RowSpill spill;
    constexpr uint32_t kRows = 60000;  // several megabytes: most of it in the file
    for (uint32_t n = 1; n <= kRows; ++n) appendRow(spill, n);
    EXPECT_GT(spill.bytes(), 3u << 20);
    EXPECT_EQ(readBack(spill, 1), kRows);
    // Rows appended after a save's reading follow the earlier ones.
    for (uint32_t n = kRows + 1; n <= 2 * kRows; ++n) appendRow(spill, n);
    EXPECT_EQ(readBack(spill, 1), 2 * kRows);
    CellArea used;
    ASSERT_TRUE(spill.usedArea(&used));
    EXPECT_EQ(used.lastRow, 2 * kRows);
}

TEST(RowSpill, EmptyTextsAndLongTextsKeepTheirBytes) {
    RowSpill spill;
    const std::string longText(3u << 20, 'a');  // longer than a read chunk
    spill.beginRow(1, -1.0f, 0, false);
    spill.addCell(Cell::makeString(1, 0), "");
    spill.addCell(Cell::makeString(2, 0), longText);
    spill.addCell(Cell::makeString(3, 0), std::string("a\0b", 3));
    spill.endRow();
    SpilledRow row;
    spill.rewind();
    ASSERT_TRUE(spill.next(&row));
    ASSERT_EQ(row.row.cells.size(), 3u);
    EXPECT_EQ(row.text(row.row.cells[0]), "");
    EXPECT_EQ(row.text(row.row.cells[1]), longText);
    EXPECT_EQ(row.text(row.row.cells[2]), std::string_view("a\0b", 3));
    // Each text is followed by a NUL, for the writers' C strings.
    EXPECT_EQ(row.text(row.row.cells[1]).data()[longText.size()], '\0');
    EXPECT_FALSE(spill.next(&row));
    EXPECT_EQ(spill.error(), "");
}
