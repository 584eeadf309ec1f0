// SPDX-License-Identifier: Apache-2.0
// A column copied into an empty sheet of another workbook, searched and
// cleared again, once per source: the pattern of a one-column search.
#include "NativeTestSupport.h"

using namespace native_test;

namespace {
class ScratchColumn : public NativeFixture {
protected:
    void SetUp() override {
        result = addWorkbook();
        resultSheet = sheet(*result, 1);
        scratch = result->sheets()->add(*resultSheet);
        ASSERT_NE(scratch, nullptr);
    }
    // A fresh source workbook whose column B holds `count` texts made from `tag`.
    std::unique_ptr<Workbook> source(const QString &tag, int count) {
        std::unique_ptr<Workbook> wb = addWorkbook();
        std::unique_ptr<Worksheet> ws = sheet(*wb, 1);
        for (int r = 1; r <= count; ++r) {
            put(*ws, r, 1, QStringLiteral("a%1").arg(r));
            put(*ws, r, 2, QStringLiteral("%1-%2").arg(tag).arg(r));
        }
        return wb;
    }
    // Copies column B of the source to the scratch sheet and returns where `what` was found there.
    std::string copyAndFind(Workbook &wb, const QString &what) {
        EXPECT_TRUE(sheet(wb, 1)->columns(2)->copy(*scratch->cells(1, 1)));
        std::unique_ptr<Range> used = scratch->usedRange();
        EXPECT_NE(used, nullptr);
        if (!used) return "-";
        std::unique_ptr<Range> found = used->find(what, scratch->cells(1, 1).get(), kLookInValues, kLookAtWhole);
        return address(found.get());
    }
    size_t poolSize() { return stateOf(*scratch)->model.strings().size(); }

    std::unique_ptr<Workbook> result;
    std::unique_ptr<Worksheet> resultSheet, scratch;
};
}  // namespace

TEST_F(ScratchColumn, ClearingGivesBackTheTextsSoTheNextSourceFindsItsOwn) {
    const size_t before = poolSize();
    for (int round = 0; round < 4; ++round) {
        const QString tag = QStringLiteral("s%1").arg(round);
        std::unique_ptr<Workbook> wb = source(tag, 50);
        // The same ids now stand for other texts: each round must find its own.
        EXPECT_EQ(copyAndFind(*wb, tag + "-37"), "A37") << round;
        EXPECT_EQ(copyAndFind(*wb, QStringLiteral("s%1-37").arg(round + 1)), "-") << round;
        EXPECT_EQ(at(*scratch, 12, 1), tag + "-12");
        ASSERT_TRUE(scratch->usedRange()->clear());
        EXPECT_EQ(poolSize(), before) << round;
        EXPECT_EQ(at(*scratch, 12, 1), "");
        wb->close(false);
    }
}

TEST_F(ScratchColumn, TextsAnotherCellCameToShareStay) {
    put(*resultSheet, 9, 1, "below");  // copies above it go to the model, not the spill
    std::unique_ptr<Workbook> wb = source("kept", 20);
    EXPECT_EQ(copyAndFind(*wb, "kept-5"), "A5");
    // A found row copied into the result uses the text the scratch column brought.
    ASSERT_TRUE(sheet(*wb, 1)->rows(5)->copy(*resultSheet->cells(2, 1)));
    const size_t withScratch = poolSize();
    ASSERT_TRUE(scratch->usedRange()->clear());
    EXPECT_EQ(poolSize(), withScratch);
    EXPECT_EQ(at(*resultSheet, 2, 2), "kept-5");

    // Later copies from the same source still show the right texts.
    std::unique_ptr<Workbook> next = source("next", 20);
    EXPECT_EQ(copyAndFind(*next, "next-7"), "A7");
    ASSERT_TRUE(scratch->usedRange()->clear());
    ASSERT_TRUE(sheet(*wb, 1)->rows(6)->copy(*resultSheet->cells(3, 1)));
    EXPECT_EQ(at(*resultSheet, 3, 2), "kept-6");
    EXPECT_EQ(at(*resultSheet, 2, 2), "kept-5");
}

TEST_F(ScratchColumn, TextsGivenBackAreMappedAgainOnTheNextCopyFromTheSameSource) {
    std::unique_ptr<Workbook> wb = source("same", 30);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(copyAndFind(*wb, "same-21"), "A21") << round;
        ASSERT_TRUE(scratch->usedRange()->clear());
        // A row of the source copied into the result (not below its end) after the column went.
        put(*resultSheet, 40, 1, "below");
        ASSERT_TRUE(sheet(*wb, 1)->rows(21)->copy(*resultSheet->cells(round + 1, 1)));
    }
    for (int round = 0; round < 3; ++round) EXPECT_EQ(at(*resultSheet, round + 1, 2), "same-21") << round;
}
