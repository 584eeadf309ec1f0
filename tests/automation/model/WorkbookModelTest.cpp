// SPDX-License-Identifier: Apache-2.0
#include "automation/model/LargeMemory.h"
#include "automation/model/WorkbookModel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace automation::model;

TEST(WorkbookModel, CopiesShareUntilOneWrites) {
    WorkbookModel original;
    original.appendSheet("A").setCell(1, Cell::makeString(1, original.mutableStrings().intern("x")));
    WorkbookModel view = original;
    EXPECT_EQ(&view.sheet(0), &original.sheet(0));

    view.mutableSheet(0).clearValue(1, 1);
    EXPECT_NE(&view.sheet(0), &original.sheet(0));
    ASSERT_NE(original.sheet(0).findCell(1, 1), nullptr);
    EXPECT_TRUE(original.sheet(0).findCell(1, 1)->hasValue());
    EXPECT_FALSE(view.sheet(0).findCell(1, 1)->hasValue());

    const uint32_t id = view.mutableStrings().intern("only in the view");
    EXPECT_EQ(view.strings().at(id), "only in the view");
    EXPECT_EQ(original.strings().size(), 1u);
    CellStyle fixed;
    fixed.numberFormat = "0.00";
    view.mutableStyles().intern(fixed);
    EXPECT_EQ(original.styles().size(), 1u);
}

TEST(WorkbookModel, ClearSheetAreaLeavesOtherViewsAlone) {
    WorkbookModel original;
    Sheet &s = original.appendSheet("A");
    for (uint32_t r = 1; r <= 3; ++r) s.setCell(r, Cell::makeNumber(1, r));
    WorkbookModel view = original;
    view.clearSheetArea(0, CellArea{1, 1, 3, 1});
    EXPECT_EQ(view.sheet(0).cellCount(), 0u);
    EXPECT_EQ(original.sheet(0).cellCount(), 3u);
    EXPECT_EQ(view.sheet(0).uid, original.sheet(0).uid);
    // Not shared any more: cleared in place.
    view.mutableSheet(0).setCell(2, Cell::makeNumber(2, 5));
    const Sheet *before = &view.sheet(0);
    view.clearSheetArea(0, CellArea{2, 2, 2, 2});
    EXPECT_EQ(&view.sheet(0), before);
    EXPECT_EQ(view.sheet(0).findCell(2, 2), nullptr);
}

TEST(WorkbookModel, SheetUidsStayStableAcrossInsertAndRemove) {
    WorkbookModel wb;
    const uint32_t a = wb.appendSheet("A").uid;
    const uint32_t b = wb.appendSheet("B").uid;
    const uint32_t c = wb.insertSheet(0, "C").uid;
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(wb.sheetIndexByUid(a), 1);
    EXPECT_EQ(wb.sheetIndex("C"), 0);
    wb.removeSheet(1);
    EXPECT_EQ(wb.sheetIndexByUid(a), -1);
    EXPECT_EQ(wb.sheetIndexByUid(b), 1);
    EXPECT_EQ(wb.insertSheet(99, "D").uid, c + 1);  // uids are never reused
    EXPECT_EQ(wb.sheetIndex("D"), 2);
}

// Texts lie end to end in blocks: they must stay put as the pool grows,
// come back whole and NUL-terminated, and give their room back on truncate.
TEST(StringPoolAndStyles, TextsStayPutAcrossBlocksAndTruncateGivesRoomBack) {
    StringPool pool;
    std::vector<std::string> expected;
    std::vector<std::string_view> early;
    for (int i = 0; i < 50000; ++i) {  // past the largest blocks, which are given huge pages
        expected.push_back(i % 97 == 0 ? std::string(5000 + i % 7, 'x') : "text " + std::to_string(i));
        if (i % 1000 == 0) expected.back().clear();
        pool.append(expected.back());
        if (i < 50) early.push_back(pool.at(static_cast<uint32_t>(i)));
    }
    for (size_t i = 0; i < early.size(); ++i) EXPECT_EQ(early[i], expected[i]);  // not moved by growth
    for (uint32_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(pool.at(i), expected[i]) << i;
        EXPECT_EQ(pool.at(i).data()[expected[i].size()], '\0') << i;
    }
    EXPECT_EQ(pool.at(999999), "");

    pool.intern("text 5");  // indexed from here on
    pool.truncate(100);
    EXPECT_EQ(pool.size(), 100u);
    EXPECT_EQ(pool.at(99), expected[99]);
    EXPECT_EQ(pool.intern("text 150"), 100u);  // gone with the truncation: added anew
    EXPECT_EQ(pool.intern("text 5"), 5u);
    EXPECT_EQ(pool.append("after"), 101u);
    EXPECT_EQ(pool.at(98), expected[98]);  // the room reused lay behind the kept texts

    const StringPool copy = pool;  // a deep copy: outlives the original
    pool = StringPool();
    EXPECT_EQ(copy.at(101), "after");
    EXPECT_EQ(copy.at(3), expected[3]);
    EXPECT_EQ(copy.at(0), "");
}

TEST(StringPoolAndStyles, InternFindsEqualEntries) {
    StringPool pool;
    EXPECT_EQ(pool.append("a"), 0u);
    EXPECT_EQ(pool.append("a"), 1u);  // readers keep duplicates
    EXPECT_EQ(pool.intern("a"), 0u);
    EXPECT_EQ(pool.intern("b"), 2u);
    EXPECT_EQ(pool.intern("b"), 2u);

    StyleTable styles;
    CellStyle bold;
    bold.font.bold = true;
    const uint32_t id = styles.intern(bold);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(styles.intern(bold), id);
    EXPECT_EQ(styles.intern(CellStyle{}), 0u);
    EXPECT_EQ(styles.at(9999), styles.defaultStyle());  // out of range falls back
}
// Large arrays get memory aligned for huge pages; small ones plain memory.
// Either is whole and writable, and a vector grows through both kinds alike.
TEST(LargeMemory, SmallAndLargeRequestsAreWholeAndLargeOnesAligned) {
    for (size_t bytes :
         {size_t{0}, size_t{1}, size_t{4096}, (size_t{2} << 20) - 1, size_t{2} << 20, (size_t{5} << 20) + 3}) {
        std::unique_ptr<char, LargeFree> p(static_cast<char *>(allocateLarge(bytes)));
        ASSERT_NE(p, nullptr) << bytes;
        std::memset(p.get(), 0x5a, bytes);
        if (bytes >= (size_t{2} << 20)) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p.get()) % (size_t{2} << 20), 0u) << bytes;
        }
    }
    EXPECT_EQ(allocateLarge(static_cast<size_t>(-1)), nullptr);

    std::vector<uint64_t, LargeAllocator<uint64_t>> values;
    for (uint64_t i = 0; i < 1'000'000; ++i) values.push_back(i * 2654435761u);
    for (uint64_t i = 0; i < values.size(); i += 997) ASSERT_EQ(values[i], i * 2654435761u);
}
