// SPDX-License-Identifier: Apache-2.0
#include "automation/native/CellSearch.h"

#include "automation/Automation.h"
#include "automation/search/FindPattern.h"

#include <algorithm>

namespace automation::native {

struct FindMemo {
    QString what;
    int lookAt = 0;
    uint64_t serial = 0;
    const model::StyleTable *styles = nullptr;
    search::FindPattern pattern;
    std::vector<uint8_t> numberStyles;  // by style id: whether a number in it can match

    bool answers(const WorkbookState &state, const FindQuery &query) const {
        return serial == state.serial && styles == &state.model.styles() && lookAt == query.lookAt &&
               what == query.what;
    }
};

namespace {
struct Grid {
    model::CellArea area;
    uint64_t width = 1;
    uint64_t count = 1;

    explicit Grid(const model::CellArea &a) : area(a) {
        width = uint64_t(a.lastColumn) - a.firstColumn + 1;
        count = (uint64_t(a.lastRow) - a.firstRow + 1) * width;
    }
    uint64_t indexOf(uint32_t row, uint32_t column) const {
        return uint64_t(row - area.firstRow) * width + (column - area.firstColumn);
    }
    CellPosition positionOf(uint64_t index) const {
        return CellPosition{static_cast<uint32_t>(area.firstRow + index / width),
                            static_cast<uint32_t>(area.firstColumn + index % width)};
    }
};

class Matcher {
public:
    Matcher(WorkbookState &state, const FindQuery &query) : state_(state), memo_(memoFor(state, query)) {}

    bool operator()(const model::Cell &cell) {
        if (!cell.hasValue()) return false;
        // Most searches are for words, which no number shows in most formats:
        // those cells need no rendering at all.
        if (cell.type == model::CellType::Number && !numbersPossibleIn(cell.style)) return false;
        return memo_.pattern.matches(state_.display.folded(state_.model, cell));
    }
    bool isEmpty() const { return memo_.pattern.isEmpty(); }

private:
    static FindMemo &memoFor(WorkbookState &state, const FindQuery &query) {
        if (!state.findMemo || !state.findMemo->answers(state, query)) {
            auto memo = std::make_shared<FindMemo>();
            memo->what = query.what;
            memo->lookAt = query.lookAt;
            memo->serial = state.serial;
            memo->styles = &state.model.styles();
            memo->pattern = search::FindPattern(query.what, query.lookAt != kLookAtPart);
            state.findMemo = std::move(memo);
        }
        return *state.findMemo;
    }

    bool numbersPossibleIn(uint32_t style) {
        std::vector<uint8_t> &numberStyles = memo_.numberStyles;
        if (style >= numberStyles.size()) numberStyles.resize(style + 1, kUnknown);
        uint8_t &known = numberStyles[style];
        if (known == kUnknown) {
            std::u16string alphabet;
            known = (!state_.display.numberAlphabet(state_.model, style, &alphabet) ||
                     memo_.pattern.literalsWithin(alphabet))
                        ? kPossible
                        : kImpossible;
        }
        return known == kPossible;
    }

    static constexpr uint8_t kUnknown = 0, kPossible = 1, kImpossible = 2;
    WorkbookState &state_;
    FindMemo &memo_;
};

// The first match among the cells with grid indexes first..last (inclusive, first <= last).
bool scanSpan(const model::Sheet &sheet, const Grid &grid, uint64_t first, uint64_t last, Matcher &match,
              uint64_t *foundIndex) {
    const CellPosition from = grid.positionOf(first), to = grid.positionOf(last);
    const auto &rows = sheet.rows();
    auto rit = std::lower_bound(rows.begin(), rows.end(), from.row,
                                [](const model::Row &r, uint32_t index) { return r.index < index; });
    for (; rit != rows.end() && rit->index <= to.row; ++rit) {
        const uint32_t c0 = rit->index == from.row ? from.column : grid.area.firstColumn;
        const uint32_t c1 = rit->index == to.row ? to.column : grid.area.lastColumn;
        auto cit = std::lower_bound(rit->cells.begin(), rit->cells.end(), c0,
                                    [](const model::Cell &c, uint32_t column) { return c.column < column; });
        for (; cit != rit->cells.end() && cit->column <= c1; ++cit) {
            if (match(*cit)) {
                *foundIndex = grid.indexOf(rit->index, cit->column);
                return true;
            }
        }
    }
    return false;
}

// The first match going round the grid from `start` (the last cell before it comes last).
bool scanRound(const model::Sheet &sheet, const Grid &grid, uint64_t start, Matcher &match, uint64_t *foundIndex) {
    return scanSpan(sheet, grid, start, grid.count - 1, match, foundIndex) ||
           (start > 0 && scanSpan(sheet, grid, 0, start - 1, match, foundIndex));
}
}  // namespace

bool findCell(WorkbookState &state, int sheetIndex, const FindQuery &query, CellPosition *found) {
    if (sheetIndex < 0 || static_cast<size_t>(sheetIndex) >= state.model.sheetCount()) return false;
    const model::Sheet &sheet = state.model.sheet(static_cast<size_t>(sheetIndex));
    const Grid grid(query.range);
    const bool inside = query.afterInside && query.range.contains(query.afterRow, query.afterColumn);
    // The cell after `after` comes first and `after` itself last.
    const uint64_t start = inside ? (grid.indexOf(query.afterRow, query.afterColumn) + 1) % grid.count : 0;
    Matcher match(state, query);
    uint64_t index = 0;
    if (match.isEmpty() || !scanRound(sheet, grid, start, match, &index)) return false;
    *found = grid.positionOf(index);
    return true;
}

}  // namespace automation::native
