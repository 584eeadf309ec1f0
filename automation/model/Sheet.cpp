// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Sheet.h"

#include "automation/model/Limits.h"

#include <algorithm>

namespace automation::model {

namespace {
auto rowLess = [](const Row &r, uint32_t index) { return r.index < index; };
auto cellLess = [](const Cell &c, uint32_t column) { return c.column < column; };
}  // namespace

const Row *Sheet::findRow(uint32_t row) const {
    auto it = std::lower_bound(rows_.begin(), rows_.end(), row, rowLess);
    return (it != rows_.end() && it->index == row) ? &*it : nullptr;
}

const Cell *Sheet::findCell(uint32_t row, uint32_t column) const {
    const Row *r = findRow(row);
    if (!r) return nullptr;
    auto it = std::lower_bound(r->cells.begin(), r->cells.end(), column, cellLess);
    return (it != r->cells.end() && it->column == column) ? &*it : nullptr;
}

Row &Sheet::rowForWrite(uint32_t row) {
    if (!rows_.empty() && rows_.back().index == row) return rows_.back();  // the reader's usual case
    if (rows_.empty() || rows_.back().index < row) {
        // Rows of one sheet tend to be alike: size the new one like the last.
        const size_t expected = rows_.empty() ? 0 : rows_.back().cells.size();
        rows_.emplace_back();
        rows_.back().index = row;
        rows_.back().cells.reserve(expected);
        return rows_.back();
    }
    auto it = std::lower_bound(rows_.begin(), rows_.end(), row, rowLess);
    if (it != rows_.end() && it->index == row) return *it;
    it = rows_.insert(it, Row{});
    it->index = row;
    return *it;
}

Cell &Sheet::setCell(uint32_t row, const Cell &cell) {
    Row &r = rowForWrite(row);
    ++version_;
    if (cell.isUsed()) noteUsed(row, cell.column);
    if (r.cells.empty() || r.cells.back().column < cell.column) {
        r.cells.push_back(cell);
        return r.cells.back();
    }
    auto it = std::lower_bound(r.cells.begin(), r.cells.end(), cell.column, cellLess);
    if (it != r.cells.end() && it->column == cell.column) {
        // A cell that loses its value and format may shrink the used area.
        if (it->isUsed() && !cell.isUsed()) noteUnused(row, cell.column);
        *it = cell;
        return *it;
    }
    return *r.cells.insert(it, cell);
}

void Sheet::noteUsed(uint32_t row, uint32_t column) {
    if (boundsStale_) return;  // recomputed on the next question anyway
    if (!hasBounds_) {
        bounds_ = CellArea{row, column, row, column};
        hasBounds_ = true;
        return;
    }
    bounds_.firstRow = std::min(bounds_.firstRow, row);
    bounds_.lastRow = std::max(bounds_.lastRow, row);
    bounds_.firstColumn = std::min(bounds_.firstColumn, column);
    bounds_.lastColumn = std::max(bounds_.lastColumn, column);
}

void Sheet::noteUnused(uint32_t row, uint32_t column) {
    if (!hasBounds_ || boundsStale_) return;
    if (row == bounds_.firstRow || row == bounds_.lastRow || column == bounds_.firstColumn ||
        column == bounds_.lastColumn)
        boundsStale_ = true;
}

bool Sheet::usedArea(CellArea *area) const {
    if (boundsStale_) {
        hasBounds_ = false;
        for (const Row &r : rows_) {
            for (const Cell &c : r.cells) {
                if (!c.isUsed()) continue;
                if (!hasBounds_) {
                    bounds_ = CellArea{r.index, c.column, r.index, c.column};
                    hasBounds_ = true;
                } else {
                    bounds_.firstRow = std::min(bounds_.firstRow, r.index);
                    bounds_.lastRow = std::max(bounds_.lastRow, r.index);
                    bounds_.firstColumn = std::min(bounds_.firstColumn, c.column);
                    bounds_.lastColumn = std::max(bounds_.lastColumn, c.column);
                }
            }
        }
        boundsStale_ = false;
    }
    if (hasBounds_ && area) *area = bounds_;
    return hasBounds_;
}

bool Sheet::clearValue(uint32_t row, uint32_t column) {
    auto rit = std::lower_bound(rows_.begin(), rows_.end(), row, rowLess);
    if (rit == rows_.end() || rit->index != row) return false;
    auto it = std::lower_bound(rit->cells.begin(), rit->cells.end(), column, cellLess);
    if (it == rit->cells.end() || it->column != column || !it->hasValue()) return false;
    const uint32_t style = it->style;
    *it = Cell::makeEmpty(column, style);
    if (style == 0) noteUnused(row, column);
    ++version_;
    return true;
}

std::vector<std::pair<uint32_t, uint32_t>> Sheet::cellsWithValues(const CellArea &area) const {
    std::vector<std::pair<uint32_t, uint32_t>> filled;
    auto rit = std::lower_bound(rows_.begin(), rows_.end(), area.firstRow, rowLess);
    for (; rit != rows_.end() && rit->index <= area.lastRow; ++rit) {
        auto cit = std::lower_bound(rit->cells.begin(), rit->cells.end(), area.firstColumn, cellLess);
        for (; cit != rit->cells.end() && cit->column <= area.lastColumn; ++cit)
            if (cit->hasValue()) filled.emplace_back(rit->index, cit->column);
    }
    return filled;
}

void Sheet::clearArea(const CellArea &area) {
    auto first = std::lower_bound(rows_.begin(), rows_.end(), area.firstRow, rowLess);
    // A block spanning every column takes the rows' own formats with it.
    const bool wholeRows = area.firstColumn <= 1 && area.lastColumn >= kMaxColumns;
    auto it = first;
    for (; it != rows_.end() && it->index <= area.lastRow; ++it) {
        auto &cells = it->cells;
        auto b = std::lower_bound(cells.begin(), cells.end(), area.firstColumn, cellLess);
        auto e = b;
        while (e != cells.end() && e->column <= area.lastColumn) ++e;
        cells.erase(b, e);
        if (wholeRows) {
            it->style = 0;
            it->height = -1.0f;
            it->hidden = false;
        }
    }
    // Drop rows left with nothing at all.
    rows_.erase(std::remove_if(first, it, [](const Row &r) { return r.cells.empty() && !r.hasFormat(); }), it);
    removeMergesIn(area);
    boundsStale_ = true;
    ++version_;
}

void Sheet::replaceRow(uint32_t row, const Row &source) {
    Row &r = rowForWrite(row);
    for (const Cell &c : r.cells)
        if (c.isUsed()) noteUnused(row, c.column);
    r.cells = source.cells;
    r.height = source.height;
    r.style = source.style;
    r.hidden = source.hidden;
    for (const Cell &c : r.cells)
        if (c.isUsed()) noteUsed(row, c.column);
    ++version_;
}

Sheet Sheet::clearedCopy(const CellArea &area) const {
    Sheet out;
    out.name = name;
    out.uid = uid;
    out.columns = columns;
    out.merges = merges;
    out.defaultRowHeight = defaultRowHeight;
    out.defaultColumnWidth = defaultColumnWidth;
    out.hidden = hidden;
    const bool wholeRows = area.firstColumn <= 1 && area.lastColumn >= kMaxColumns;
    out.rows_.reserve(rows_.size());
    for (const Row &r : rows_) {
        if (r.index < area.firstRow || r.index > area.lastRow) {
            out.rows_.push_back(r);
            continue;
        }
        Row kept;
        kept.index = r.index;
        if (!wholeRows) {
            kept.height = r.height;
            kept.style = r.style;
            kept.hidden = r.hidden;
        }
        for (const Cell &c : r.cells)
            if (c.column < area.firstColumn || c.column > area.lastColumn) kept.cells.push_back(c);
        if (!kept.cells.empty() || kept.hasFormat()) out.rows_.push_back(std::move(kept));
    }
    out.removeMergesIn(area);
    out.boundsStale_ = true;
    out.version_ = version_ + 1;
    return out;
}

void Sheet::removeMergesIn(const CellArea &area) {
    merges.erase(std::remove_if(merges.begin(), merges.end(),
                                [&](const CellArea &m) {
                                    return m.firstRow <= area.lastRow && m.lastRow >= area.firstRow &&
                                           m.firstColumn <= area.lastColumn && m.lastColumn >= area.firstColumn;
                                }),
                 merges.end());
}

size_t Sheet::cellCount() const {
    size_t n = 0;
    for (const Row &r : rows_) n += r.cells.size();
    return n;
}

Sheet sheetWithoutRows(const Sheet &sheet) {
    Sheet empty;
    empty.name = sheet.name;
    empty.uid = sheet.uid;
    empty.hidden = sheet.hidden;
    empty.columns = sheet.columns;
    empty.merges = sheet.merges;
    empty.defaultRowHeight = sheet.defaultRowHeight;
    empty.defaultColumnWidth = sheet.defaultColumnWidth;
    return empty;
}

void settleColumns(std::vector<ColumnInfo> *columns) {
    std::stable_sort(columns->begin(), columns->end(),
                     [](const ColumnInfo &a, const ColumnInfo &b) { return a.first < b.first; });
    std::vector<ColumnInfo> settled;
    settled.reserve(columns->size());
    for (ColumnInfo c : *columns) {
        if (!settled.empty() && c.first <= settled.back().last) c.first = settled.back().last + 1;
        if (c.first <= c.last) settled.push_back(c);
    }
    columns->swap(settled);
}

}  // namespace automation::model
