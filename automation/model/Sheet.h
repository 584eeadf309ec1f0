// SPDX-License-Identifier: Apache-2.0
// One worksheet of the sparse model: rows in ascending order, each holding its
// cells in ascending column order. Only rows and cells that exist are stored.
#pragma once

#include "automation/model/Cell.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace automation::model {

struct Row {
    uint32_t index = 0;    // 1-based
    float height = -1.0f;  // points; < 0: default height
    uint32_t style = 0;    // the row's own format, 0 when none
    bool hidden = false;
    std::vector<Cell> cells;  // ascending by column

    bool hasFormat() const { return height >= 0 || style != 0 || hidden; }
};

struct ColumnInfo {
    uint32_t first = 1, last = 1;  // 1-based, inclusive
    double width = -1.0;           // as .xlsx stores it (characters plus padding); < 0: default
    uint32_t style = 0;
    bool hidden = false;
};

struct CellArea {
    uint32_t firstRow = 1, firstColumn = 1, lastRow = 1, lastColumn = 1;  // inclusive
    bool contains(uint32_t r, uint32_t c) const {
        return r >= firstRow && r <= lastRow && c >= firstColumn && c <= lastColumn;
    }
    bool operator==(const CellArea &o) const {
        return firstRow == o.firstRow && firstColumn == o.firstColumn && lastRow == o.lastRow &&
               lastColumn == o.lastColumn;
    }
};

class Sheet {
public:
    std::string name;
    uint32_t uid = 0;                 // stable within its workbook; handles find the sheet by it
    std::vector<ColumnInfo> columns;  // ascending, not overlapping
    std::vector<CellArea> merges;
    double defaultRowHeight = 15.0;    // points
    double defaultColumnWidth = 8.43;  // characters
    bool hidden = false;

    // ---- reading
    const std::vector<Row> &rows() const { return rows_; }
    const Row *findRow(uint32_t row) const;
    const Cell *findCell(uint32_t row, uint32_t column) const;

    // The bounding box of used cells (value or own format); false when none.
    // O(1) unless a clear made it stale, then one pass over the rows.
    bool usedArea(CellArea *area) const;

    // Counts a change of content; searches use it to tell whether a sheet
    // changed since their last answer.
    uint64_t version() const { return version_; }

    // ---- building (readers): fastest when rows and cells come in order
    Row &rowForWrite(uint32_t row);
    // Sets a cell, replacing one at the same place. Returns a reference to it.
    Cell &setCell(uint32_t row, const Cell &cell);
    void reserveRows(size_t n) { rows_.reserve(n); }
    // Gives each text cell the string number `renumber(stringId)` answers,
    // in place: for a workbook whose pool is built anew. Nothing else changes.
    template <typename Renumber>
    void renumberStrings(Renumber &&renumber) {
        for (Row &r : rows_)
            for (Cell &c : r.cells)
                if (c.type == CellType::String) c.stringId = renumber(c.stringId);
        ++version_;
    }

    // ---- editing
    // Empties a cell's value; its format stays. False when there was no value.
    bool clearValue(uint32_t row, uint32_t column);
    // (row, column) of every cell holding a value inside the inclusive block.
    std::vector<std::pair<uint32_t, uint32_t>> cellsWithValues(const CellArea &area) const;
    // Removes contents and formats in the inclusive block (rows and cells).
    void clearArea(const CellArea &area);
    // Replaces a whole row (cells, height, format, hidden) by `source` under another index.
    void replaceRow(uint32_t row, const Row &source);
    void removeMergesIn(const CellArea &area);
    // This sheet with the block cleared as clearArea() would, built without
    // copying what the block loses (cheap when a shared sheet is emptied).
    Sheet clearedCopy(const CellArea &area) const;

    size_t cellCount() const;

private:
    void noteUsed(uint32_t row, uint32_t column);
    // A used cell that goes away shrinks the used area only from its edge.
    void noteUnused(uint32_t row, uint32_t column);
    std::vector<Row> rows_;
    mutable CellArea bounds_{};
    mutable bool hasBounds_ = false;
    mutable bool boundsStale_ = false;
    uint64_t version_ = 0;
};

// A sheet like `sheet` (name, uid, hidden flag, columns, merges, default
// sizes) that holds no rows yet: where a reduced copy starts.
Sheet sheetWithoutRows(const Sheet &sheet);

// Column spans as a file may list them (in any order, overlapping) put in
// order without overlap: where spans overlap, the one starting first (of two
// starting together, the one listed first) keeps its columns, and the other
// keeps what is left of it. Every reader ends a sheet with this.
void settleColumns(std::vector<ColumnInfo> *columns);

}  // namespace automation::model
