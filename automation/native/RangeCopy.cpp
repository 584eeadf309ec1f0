// SPDX-License-Identifier: Apache-2.0
#include "automation/native/RangeCopy.h"

#include "automation/model/Limits.h"
#include "automation/numfmt/NumberFormat.h"

#include <algorithm>

namespace automation::native {

namespace {
constexpr uint32_t kUnmapped = RemapTable::kUnmapped;
// Days between the 1900 and the 1904 date systems' day 0.
constexpr double kDaysBetweenDateSystems = 1462.0;

// What a date number gains on its way from the source's date system to the
// destination's, so that it names the same day; 0 between the same systems.
double dateShift(const WorkbookState &source, const WorkbookState &dest) {
    if (source.model.date1904 == dest.model.date1904) return 0.0;
    return source.model.date1904 ? kDaysBetweenDateSystems : -kDaysBetweenDateSystems;
}

// Re-enters source ids in the destination, remembering each answer so that a
// style is hashed once per source workbook, not once per copied cell.
class IdRemapper {
public:
    IdRemapper(WorkbookState &source, WorkbookState &dest)
        : source_(source),
          dest_(dest),
          same_(&source == &dest),
          table_(same_ ? nullptr : &dest.remapFrom(source.serial)),
          dateShift_(same_ ? 0.0 : dateShift(source, dest)) {}

    model::Cell cell(model::Cell c) {
        if (same_) return c;
        moveDate(c);
        c.style = style(c.style);
        if (c.type == model::CellType::String) c.stringId = string(c.stringId);
        return c;
    }
    // Between date systems, a number shown as a date keeps its day: it moves
    // by the systems' difference, unless the destination cannot show that day
    // (before 1904 in the 1904 system), where it keeps its number as a paste would.
    // Takes the cell with its source style.
    void moveDate(model::Cell &c) {
        if (dateShift_ == 0.0 || c.type != model::CellType::Number || c.style == 0) return;
        if (!showsDate(c.style)) return;
        const double moved = c.number + dateShift_;
        if (c.number >= 0 && moved >= 0) c.number = moved;
    }
    uint32_t style(uint32_t id) {
        // Style 0 is each workbook's own default format, as a paste adopts the target's.
        if (same_ || id == 0) return id;
        auto &map = table_->styles;
        if (id >= map.size()) map.resize(id + 1, kUnmapped);
        if (map[id] == kUnmapped) map[id] = dest_.model.mutableStyles().intern(source_.model.styles().at(id));
        return map[id];
    }

private:
    bool showsDate(uint32_t id) {
        auto &known = table_->showsDate;
        if (id >= known.size()) known.resize(id + 1, -1);
        if (known[id] < 0) known[id] = numfmt::showsCalendarDate(source_.model.styles().at(id).numberFormat) ? 1 : 0;
        return known[id] == 1;
    }
    uint32_t string(uint32_t id) {
        auto &map = table_->strings;
        if (id >= map.size()) map.resize(id + 1, kUnmapped);
        if (map[id] == kUnmapped) map[id] = dest_.model.mutableStrings().intern(source_.model.strings().at(id));
        return map[id];
    }

    WorkbookState &source_;
    WorkbookState &dest_;
    bool same_;
    RemapTable *table_;
    double dateShift_;
};

// Results may pass the .xlsx grid: such a sheet is saved as CSV.
bool fits(const model::CellArea &area, uint32_t destRow, uint32_t destColumn) {
    const uint64_t lastRow = uint64_t(destRow) + (area.lastRow - area.firstRow);
    const uint64_t lastColumn = uint64_t(destColumn) + (area.lastColumn - area.firstColumn);
    return destRow >= 1 && destColumn >= 1 && lastRow <= model::kMaxAppendRows && lastColumn <= model::kMaxColumns;
}

// Merged blocks lying wholly inside `area`, moved by the copy's offset.
std::vector<model::CellArea> movedMerges(const model::Sheet &sheet, const model::CellArea &area, int64_t dRow,
                                         int64_t dColumn) {
    std::vector<model::CellArea> out;
    for (const model::CellArea &m : sheet.merges) {
        if (!area.contains(m.firstRow, m.firstColumn) || !area.contains(m.lastRow, m.lastColumn)) continue;
        out.push_back(
            model::CellArea{static_cast<uint32_t>(m.firstRow + dRow), static_cast<uint32_t>(m.firstColumn + dColumn),
                            static_cast<uint32_t>(m.lastRow + dRow), static_cast<uint32_t>(m.lastColumn + dColumn)});
    }
    return out;
}

// The width and format of each column of `first`..`last`, as the source has them.
std::vector<std::pair<uint32_t, model::ColumnInfo>> columnInfos(const model::Sheet &sheet, uint32_t first,
                                                                uint32_t last) {
    std::vector<std::pair<uint32_t, model::ColumnInfo>> out;
    for (const model::ColumnInfo &info : sheet.columns)
        for (uint32_t c = std::max(first, info.first); c <= std::min(last, info.last); ++c) out.emplace_back(c, info);
    return out;
}

// Gives `column` its own entry (or none), splitting entries that span it.
void setColumnInfo(model::Sheet &sheet, uint32_t column, const model::ColumnInfo *info) {
    std::vector<model::ColumnInfo> result;
    result.reserve(sheet.columns.size() + 2);
    for (const model::ColumnInfo &c : sheet.columns) {
        if (column < c.first || column > c.last) {
            result.push_back(c);
            continue;
        }
        if (c.first < column) {
            model::ColumnInfo left = c;
            left.last = column - 1;
            result.push_back(left);
        }
        if (c.last > column) {
            model::ColumnInfo right = c;
            right.first = column + 1;
            result.push_back(right);
        }
    }
    if (info) {
        model::ColumnInfo own = *info;
        own.first = own.last = column;
        result.push_back(own);
    }
    std::sort(result.begin(), result.end(),
              [](const model::ColumnInfo &a, const model::ColumnInfo &b) { return a.first < b.first; });
    sheet.columns = std::move(result);
}

// Whether a copy only adds rows below everything on the destination sheet,
// so that it can go to the sheet's spill instead of the model.
bool appendsBelow(const WorkbookState &dest, uint32_t destSheetUid, int destIndex, const model::CellArea &destArea,
                  const std::vector<model::CellArea> &merges, const model::Sheet &from, int64_t dRow) {
    if (dest.spill && dest.spillSheetUid != destSheetUid) return false;
    if (destArea.firstRow <= dest.lastRow(destSheetUid)) return false;
    // A merge of the sheet reaching down here would be cut by the copy.
    const model::Sheet &to = dest.model.sheet(static_cast<size_t>(destIndex));
    for (const model::CellArea &m : to.merges)
        if (m.lastRow >= destArea.firstRow) return false;
    // Spilled merges travel with the row they begin on, which must exist and hold them whole.
    for (const model::CellArea &m : merges)
        if (m.firstRow != m.lastRow || !from.findRow(static_cast<uint32_t>(m.firstRow - dRow))) return false;
    return true;
}

void appendRows(WorkbookState &source, const model::Sheet &from, const model::CellArea &area, WorkbookState &dest,
                uint32_t destSheetUid, int64_t dRow, int64_t dColumn, bool wholeRows,
                const std::vector<model::CellArea> &merges, IdRemapper &remap) {
    if (!dest.spill) {
        dest.spill = std::make_unique<model::RowSpill>();
        dest.spillSheetUid = destSheetUid;
    }
    model::RowSpill &spill = *dest.spill;
    const model::StringPool &strings = source.model.strings();
    const auto &rows = from.rows();
    auto rit = std::lower_bound(rows.begin(), rows.end(), area.firstRow,
                                [](const model::Row &r, uint32_t index) { return r.index < index; });
    for (; rit != rows.end() && rit->index <= area.lastRow; ++rit) {
        const uint32_t target = static_cast<uint32_t>(rit->index + dRow);
        bool begun = false;
        const auto begin = [&] {
            if (begun) return;
            begun = true;
            if (wholeRows)
                spill.beginRow(target, rit->height, remap.style(rit->style), rit->hidden);
            else
                spill.beginRow(target, -1.0f, 0, false);
        };
        if (wholeRows && rit->hasFormat()) begin();
        for (const model::Cell &c : rit->cells) {
            if (c.column < area.firstColumn || c.column > area.lastColumn || !c.isUsed()) continue;
            begin();
            model::Cell moved = c;
            remap.moveDate(moved);
            moved.style = remap.style(c.style);
            moved.column = static_cast<uint32_t>(c.column + dColumn);
            spill.addCell(moved, c.type == model::CellType::String ? std::string_view(strings.at(c.stringId))
                                                                   : std::string_view());
        }
        for (const model::CellArea &m : merges) {
            if (m.firstRow != target) continue;
            begin();
            spill.addMerge(m);
        }
        if (begun) spill.endRow();
    }
}

struct PendingRow {
    uint32_t sourceIndex = 0;
    model::Row row;
    bool present = false;
};
}  // namespace

bool copyArea(WorkbookState &source, uint32_t sourceSheetUid, const model::CellArea &area, WorkbookState &dest,
              uint32_t destSheetUid, uint32_t destRow, uint32_t destColumn) {
    const int si = source.sheetIndex(sourceSheetUid);
    const int di = dest.sheetIndex(destSheetUid);
    if (si < 0 || di < 0 || !fits(area, destRow, destColumn)) return false;
    const bool wholeRows = area.firstColumn == 1 && area.lastColumn == model::kMaxColumns;
    const bool wholeColumns = area.firstRow == 1 && area.lastRow == model::kMaxRows;
    if (wholeRows && destColumn != 1) return false;
    if (wholeColumns && destRow != 1) return false;

    const int64_t dRow = int64_t(destRow) - area.firstRow;
    const int64_t dColumn = int64_t(destColumn) - area.firstColumn;
    const model::CellArea destArea{destRow, destColumn, static_cast<uint32_t>(area.lastRow + dRow),
                                   static_cast<uint32_t>(area.lastColumn + dColumn)};

    // The source's own spilled rows are read in the model like any others.
    if (!source.settle(sourceSheetUid)) return false;

    // Gather first: source and destination may be the same sheet.
    IdRemapper remap(source, dest);
    const model::Sheet &from = source.model.sheet(static_cast<size_t>(si));
    std::vector<model::CellArea> merges = movedMerges(from, area, dRow, dColumn);
    if (!wholeColumns && appendsBelow(dest, destSheetUid, di, destArea, merges, from, dRow)) {
        appendRows(source, from, area, dest, destSheetUid, dRow, dColumn, wholeRows, merges, remap);
        return true;
    }
    if (!dest.settle(destSheetUid)) return false;
    const size_t stringsBefore = dest.model.strings().size();
    const bool intoEmptySheet =
        wholeColumns && &source != &dest && !dest.model.sheet(static_cast<size_t>(di)).usedArea(nullptr);
    std::vector<std::pair<uint32_t, model::ColumnInfo>> widths;
    if (wholeColumns && !wholeRows) widths = columnInfos(from, area.firstColumn, area.lastColumn);
    std::vector<PendingRow> pending;
    const auto &rows = from.rows();
    auto rit = std::lower_bound(rows.begin(), rows.end(), area.firstRow,
                                [](const model::Row &r, uint32_t index) { return r.index < index; });
    for (; rit != rows.end() && rit->index <= area.lastRow; ++rit) {
        PendingRow p;
        p.sourceIndex = rit->index;
        p.present = true;
        p.row.index = static_cast<uint32_t>(rit->index + dRow);
        if (wholeRows) {
            p.row.height = rit->height;
            p.row.style = remap.style(rit->style);
            p.row.hidden = rit->hidden;
        }
        for (const model::Cell &c : rit->cells) {
            if (c.column < area.firstColumn || c.column > area.lastColumn || !c.isUsed()) continue;
            model::Cell moved = remap.cell(c);
            moved.column = static_cast<uint32_t>(c.column + dColumn);
            p.row.cells.push_back(moved);
        }
        pending.push_back(std::move(p));
    }

    model::Sheet &to = dest.model.mutableSheet(static_cast<size_t>(di));
    if (wholeRows) {
        // Every destination row is replaced, also those whose source row is blank.
        size_t next = 0;
        for (uint64_t r = area.firstRow; r <= area.lastRow; ++r) {
            const uint32_t target = static_cast<uint32_t>(r + dRow);
            if (next < pending.size() && pending[next].sourceIndex == r) {
                to.replaceRow(target, pending[next].row);
                ++next;
            } else if (to.findRow(target)) {
                to.clearArea(model::CellArea{target, 1, target, model::kMaxColumns});
            }
        }
    } else if (wholeColumns) {
        to.clearArea(destArea);
        for (const PendingRow &p : pending)
            for (const model::Cell &c : p.row.cells) to.setCell(p.row.index, c);
        size_t next = 0;
        for (uint32_t c = area.firstColumn; c <= area.lastColumn; ++c) {
            const bool has = next < widths.size() && widths[next].first == c;
            model::ColumnInfo info;
            if (has) {
                info = widths[next++].second;
                info.style = remap.style(info.style);
            }
            setColumnInfo(to, static_cast<uint32_t>(c + dColumn), has ? &info : nullptr);
        }
    } else {
        // Cell by cell, so that a small paste never makes the used area stale.
        for (uint64_t r = destArea.firstRow; r <= destArea.lastRow; ++r) {
            const model::Row *existing = to.findRow(static_cast<uint32_t>(r));
            if (!existing) continue;
            std::vector<uint32_t> columns;
            for (const model::Cell &c : existing->cells)
                if (c.column >= destArea.firstColumn && c.column <= destArea.lastColumn && c.isUsed())
                    columns.push_back(c.column);
            for (uint32_t column : columns) to.setCell(static_cast<uint32_t>(r), model::Cell::makeEmpty(column, 0));
        }
        for (const PendingRow &p : pending)
            for (const model::Cell &c : p.row.cells) to.setCell(p.row.index, c);
    }
    to.removeMergesIn(destArea);
    to.merges.insert(to.merges.end(), merges.begin(), merges.end());
    if (intoEmptySheet)
        dest.lent = WorkbookState::LentStrings{destSheetUid, stringsBefore, dest.model.strings().size()};
    return true;
}

}  // namespace automation::native
