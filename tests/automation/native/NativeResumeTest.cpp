// The resumed search must answer exactly as a search from scratch would,
// whatever happens to the sheet between two questions.
#include "NativeTestSupport.h"

#include <random>

using namespace native_test;

namespace {
const char *const kValues[] = {"a", "b", "ab", "ba", "A", "x", "1", "10", "abc"};
const char *const kQueries[] = {"a", "b", "ab", "1"};

struct Shape {
    uint32_t firstRow, firstColumn, lastRow, lastColumn;
};

// The reference: every cell of the block in search order, tested one by one.
std::string referenceFind(Worksheet &ws, const Shape &block, const QString &what, int lookAt, int afterRow,
                          int afterColumn) {
    const uint32_t width = block.lastColumn - block.firstColumn + 1;
    const uint64_t count = uint64_t(block.lastRow - block.firstRow + 1) * width;
    const bool inside = afterRow >= int(block.firstRow) && afterRow <= int(block.lastRow) &&
                        afterColumn >= int(block.firstColumn) && afterColumn <= int(block.lastColumn);
    const uint64_t start =
        inside ? (uint64_t(afterRow - block.firstRow) * width + (afterColumn - block.firstColumn) + 1) % count : 0;
    for (uint64_t step = 0; step < count; ++step) {
        const uint64_t i = (start + step) % count;
        const int r = int(block.firstRow + i / width), c = int(block.firstColumn + i % width);
        const QString text = ws.cells(r, c)->value().toLower();
        const bool hit = lookAt == kLookAtWhole ? text == what : (!text.isEmpty() && text.contains(what));
        if (hit) return address(ws.cells(r, c).get());
    }
    return "-";
}
}  // namespace

class Resume : public NativeFixture {};

TEST_F(Resume, AgreesWithAFreshSearchUnderRandomEdits) {
    std::mt19937 rng(20240607);
    auto wb = addWorkbook();
    auto ws = sheet(*wb, 1);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const Shape block{2, 2, 7, 6};
    auto view = dynamic_cast<native::NativeRange &>(*ws->cells(1, 1));
    native::NativeRange range(view.workbook(), view.sheetUid(),
                              model::CellArea{block.firstRow, block.firstColumn, block.lastRow, block.lastColumn});
    int checks = 0, resumedRuns = 0;
    for (int round = 0; round < 300; ++round) {
        for (int r = 1; r <= 8; ++r)
            for (int c = 1; c <= 7; ++c) put(*ws, r, c, pick(3) == 0 ? QString() : QString(kValues[pick(9)]));
        const QString what = kQueries[pick(4)];
        const int lookAt = pick(2) ? kLookAtWhole : kLookAtPart;
        int afterRow = 1 + pick(8), afterColumn = 1 + pick(7);
        int run = 0;
        for (int step = 0; step < 60; ++step) {
            auto after = ws->cells(afterRow, afterColumn);
            const std::string expected = referenceFind(*ws, block, what, lookAt, afterRow, afterColumn);
            auto hit = range.find(what, after.get(), kLookInValues, lookAt);
            ASSERT_EQ(address(hit.get()), expected) << "round " << round << " step " << step;
            ++checks;
            if (!hit) break;
            // Mostly the engine's way; now and then something else in between.
            switch (pick(10)) {
                case 0:
                    put(*ws, 1 + pick(8), 1 + pick(7), kValues[pick(9)]);
                    break;
                case 1:
                    ws->cells(1 + pick(8), 1 + pick(7))->setValue(QString());
                    break;
                case 2:
                    break;  // ask again without emptying
                case 3:
                    afterRow = 1 + pick(8), afterColumn = 1 + pick(7);
                    hit->setValue(QString());
                    break;
                default:
                    hit->setValue(QString());
                    ++run;
                    break;
            }
        }
        resumedRuns += run > 2;
    }
    EXPECT_GT(checks, 1000);
    EXPECT_GT(resumedRuns, 50);  // the resuming path was really taken
}

TEST_F(Resume, EmptiedLastAnswerThenNewMatchBeforeItIsStillFound) {
    auto wb = addWorkbook();
    auto ws = sheet(*wb, 1);
    put(*ws, 1, 1, "s");
    put(*ws, 2, 1, "x");
    put(*ws, 3, 1, "x");
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    auto first = used->find("x", start.get(), kLookInValues, kLookAtWhole);
    ASSERT_EQ(address(first.get()), "A2");
    first->setValue(QString());
    put(*ws, 2, 1, "x");  // a cell already passed gets the value again
    EXPECT_EQ(address(used->find("x", start.get(), kLookInValues, kLookAtWhole).get()), "A2");
}

TEST_F(Resume, AnEndedSearchStaysEndedUntilTheSheetChanges) {
    auto wb = addWorkbook();
    auto ws = sheet(*wb, 1);
    put(*ws, 1, 1, "s");
    put(*ws, 5, 3, "q");
    auto used = ws->usedRange();
    auto start = ws->cells(1, 1);
    EXPECT_EQ(used->find("x", start.get(), kLookInValues, kLookAtWhole), nullptr);
    EXPECT_EQ(used->find("x", start.get(), kLookInValues, kLookAtWhole), nullptr);
    put(*ws, 3, 2, "x");
    EXPECT_EQ(address(used->find("x", start.get(), kLookInValues, kLookAtWhole).get()), "B3");
}
