// SPDX-License-Identifier: Apache-2.0
#include "NativeTestSupport.h"

using namespace native_test;

namespace {
class Find : public NativeFixture {
protected:
    void SetUp() override {
        wb = addWorkbook();
        ws = sheet(*wb, 1);
    }
    std::unique_ptr<Range> findIn(Range &range, const QString &what, const Range *after, int lookAt = kLookAtWhole) {
        return range.find(what, after, kLookInValues, lookAt);
    }
    // Addresses in the order the engine's loop gets them: find after the last
    // hit until the first hit comes round again.
    std::vector<std::string> drain(Range &range, const QString &what, const Range *after, int lookAt) {
        std::vector<std::string> order;
        std::unique_ptr<Range> previous;
        for (int guard = 0; guard < 1000; ++guard) {
            auto hit = findIn(range, what, previous ? previous.get() : after, lookAt);
            if (!hit || (!order.empty() && address(hit.get()) == order.front())) return order;
            order.push_back(address(hit.get()));
            previous = std::move(hit);
        }
        ADD_FAILURE() << "the loop did not end";
        return order;
    }
    std::unique_ptr<Workbook> wb;
    std::unique_ptr<Worksheet> ws;
};
}  // namespace

TEST_F(Find, GoesByRowsFromAfterTheStartAndChecksTheStartLast) {
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) put(*ws, r, c, "x");
    auto used = ws->usedRange();
    auto start = ws->cells(2, 2);
    EXPECT_EQ(drain(*used, "x", start.get(), kLookAtWhole),
              (std::vector<std::string>{"C2", "A3", "B3", "C3", "A1", "B1", "C1", "A2", "B2"}));
}

TEST_F(Find, WithoutEmptyingTheSameCellComesBack) {
    put(*ws, 1, 1, "k");
    put(*ws, 2, 1, "x");
    put(*ws, 3, 1, "x");
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    EXPECT_EQ(address(findIn(*used, "x", start.get()).get()), "A2");
    EXPECT_EQ(address(findIn(*used, "x", start.get()).get()), "A2");
}

TEST_F(Find, StartOutsideTheRangeSearchesFromTheFirstCell) {
    for (int r = 2; r <= 3; ++r)
        for (int c = 2; c <= 3; ++c) put(*ws, r, c, "v");
    put(*ws, 1, 1, "other");
    wb->sheets()->add(*ws);
    auto otherSheet = sheet(*wb, 1);
    auto elsewhere = otherSheet->cells(2, 2);  // same place, another sheet
    auto outside = ws->cells(1, 1);
    auto block = dynamic_cast<native::NativeRange &>(*ws->cells(2, 2));
    native::NativeRange range(block.workbook(), block.sheetUid(), model::CellArea{2, 2, 3, 3});
    for (const Range *after : {static_cast<const Range *>(outside.get()), static_cast<const Range *>(elsewhere.get()),
                               static_cast<const Range *>(nullptr)})
        EXPECT_EQ(address(findIn(range, "v", after).get()), "B2");
    EXPECT_EQ(drain(range, "v", elsewhere.get(), kLookAtWhole), (std::vector<std::string>{"B2", "C2", "B3", "C3"}));
}

TEST_F(Find, WholeAgainstPartOnNumbersAndTexts) {
    putNumber(*ws, 1, 1, 100);
    putNumber(*ws, 2, 1, 1000);
    put(*ws, 3, 1, "100 kg");
    put(*ws, 4, 1, "n/a");
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    EXPECT_EQ(drain(*used, "100", start.get(), kLookAtWhole), (std::vector<std::string>{"A1"}));
    EXPECT_EQ(drain(*used, "100", start.get(), kLookAtPart), (std::vector<std::string>{"A2", "A3", "A1"}));
}

TEST_F(Find, MatchesTheDisplayedTextOfFormattedNumbers) {
    putNumber(*ws, 1, 1, 0);  // the start cell
    putNumber(*ws, 2, 1, 3.1, styleWithFormat(*ws, "0.00"));
    putNumber(*ws, 3, 1, 0.5, styleWithFormat(*ws, "0%"));
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    EXPECT_EQ(address(findIn(*used, "3.10", start.get()).get()), "A2");
    EXPECT_EQ(findIn(*used, "3.1", start.get()), nullptr);
    EXPECT_EQ(address(findIn(*used, "3.1", start.get(), kLookAtPart).get()), "A2");
    EXPECT_EQ(address(findIn(*used, "50%", start.get()).get()), "A3");
    EXPECT_EQ(findIn(*used, "0.5", start.get()), nullptr);
    EXPECT_EQ(ws->cells(2, 1)->value(), "3.10");
}

TEST_F(Find, MatchesDatesAsShownAndLongIdsStoredAsText) {
    putNumber(*ws, 1, 1, 0);
    putNumber(*ws, 2, 1, 45296, styleWithFormat(*ws, "yyyy/m/d"));  // 2024-01-05
    putNumber(*ws, 3, 1, 45296, styleWithFormat(*ws, "General"));
    put(*ws, 4, 1, "110101199003071234");        // an ID number: text, never a number
    putNumber(*ws, 5, 1, 110101199003071234.0);  // the same digits as a number show rounded
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    EXPECT_EQ(address(findIn(*used, "2024/1/5", start.get()).get()), "A2");
    EXPECT_EQ(address(findIn(*used, "45296", start.get()).get()), "A3");
    EXPECT_EQ(address(findIn(*used, "110101199003071234", start.get()).get()), "A4");
    EXPECT_EQ(drain(*used, "1101011990", start.get(), kLookAtPart), (std::vector<std::string>{"A4"}));
}

TEST_F(Find, FoldsCaseAndWidthAndHonoursWildcards) {
    put(*ws, 1, 1, "start");
    put(*ws, 2, 1, "Apple Pie");
    put(*ws, 3, 1, QString::fromUtf8("\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3"));  // full-width ABC
    put(*ws, 4, 1, "a*b");
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    struct Case {
        const char *what;
        int lookAt;
        const char *expected;
    };
    const Case cases[] = {
        {"apple pie", kLookAtWhole, "A2"}, {"PIE", kLookAtPart, "A2"},   {"abc", kLookAtWhole, "A3"},
        {"a*b", kLookAtWhole, "A4"},       {"a~*b", kLookAtWhole, "A4"}, {"?pple*", kLookAtWhole, "A2"},
        {"s?art", kLookAtWhole, "A1"},     {"", kLookAtPart, "-"},       {"pear", kLookAtPart, "-"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(address(findIn(*used, c.what, start.get(), c.lookAt).get()), c.expected) << c.what;
}

TEST_F(Find, BooleansErrorsAndEmptyCells) {
    auto &s = modelSheet(*ws);
    s.setCell(1, model::Cell::makeBoolean(1, true));
    s.setCell(2, model::Cell::makeError(1, model::CellError::NA));
    s.setCell(3, model::Cell::makeEmpty(1, styleWithFormat(*ws, "0.00")));  // formatted, no value
    auto used = ws->usedRange();
    EXPECT_EQ(address(findIn(*used, "true", nullptr).get()), "A1");
    EXPECT_EQ(address(findIn(*used, "#n/a", nullptr).get()), "A2");
    EXPECT_EQ(drain(*used, "*", nullptr, kLookAtWhole), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(findIn(*used, "x", nullptr, 3), nullptr);  // unknown look-at
}

TEST_F(Find, HiddenRowsAreSearchedToo) {
    put(*ws, 1, 1, "a");
    put(*ws, 2, 1, "needle");
    modelSheet(*ws).rowForWrite(2).hidden = true;
    auto used = ws->usedRange();
    EXPECT_EQ(address(findIn(*used, "needle", ws->cells(1, 1).get()).get()), "A2");
}

TEST_F(Find, OneColumnLoopSearchesTheScratchCopyAndCopiesSourceRows) {
    put(*ws, 1, 1, "id");
    put(*ws, 2, 3, "k");
    put(*ws, 3, 2, "k");  // another column: not searched
    put(*ws, 4, 3, "xk");
    put(*ws, 5, 3, "k");
    ASSERT_TRUE(app->workbooks()->add());
    auto result = app->activeWorkbook();
    auto out = sheet(*result, 1);
    auto scratch = result->sheets()->add(*out);
    ASSERT_TRUE(ws->columns(3)->copy(*scratch->cells(1, 1)));
    auto range = scratch->usedRange();
    auto start = ws->cells(1, 1);  // on the source sheet, so the whole scratch range is searched
    std::vector<int> rows;
    std::unique_ptr<Range> previous;
    int flag = 0;
    for (int guard = 0; guard < 10; ++guard) {
        auto hit = findIn(*range, "k", previous ? previous.get() : start.get());
        if (!hit || (!rows.empty() && hit->row() == rows.front())) break;
        rows.push_back(hit->row());
        const int n = static_cast<int>(out->usedRange()->rowCount());
        ASSERT_TRUE(ws->rows(hit->row())->copy(*out->cells(flag + n, 1)));
        previous = std::move(hit);
        flag = 1;
    }
    EXPECT_EQ(rows, (std::vector<int>{2, 5}));
    EXPECT_EQ(at(*out, 2, 3), "k");
    EXPECT_EQ(at(*ws, 2, 3), "k");  // the source row itself is not emptied
    ASSERT_TRUE(range->clear());
    EXPECT_EQ(scratch->usedRange()->count(), 1);
    EXPECT_EQ(at(*scratch, 2, 1), "");
}
