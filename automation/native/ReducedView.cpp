#include "automation/native/ReducedView.h"

#include "automation/Automation.h"

#include "automation/native/DisplayText.h"
#include "automation/native/WorkbookCache.h"

#include <algorithm>

namespace automation::native {

SearchPlan::SearchPlan(const QStringList &searchValues, int lookAtCode, uint32_t column)
    : values(searchValues), lookAt(lookAtCode), onlyColumn(column) {
    for (const QString &v : values) patterns.emplace_back(v, lookAt != kLookAtPart);
}

bool SearchPlan::covers(const QString &what, int lookAtCode) const {
    return lookAtCode == lookAt && values.contains(what);
}

const ReducedSheet *Reduction::sheet(uint32_t uid) const {
    for (const ReducedSheet &s : sheets)
        if (s.uid == uid) return &s;
    return nullptr;
}

bool Reduction::holds(uint32_t uid, const model::CellArea &area) const {
    const ReducedSheet *s = sheet(uid);
    if (!s || !s->hasUsed) return true;  // nothing was left out there
    const uint32_t r0 = std::max(area.firstRow, s->used.firstRow), r1 = std::min(area.lastRow, s->used.lastRow);
    const uint32_t c0 = std::max(area.firstColumn, s->used.firstColumn),
                   c1 = std::min(area.lastColumn, s->used.lastColumn);
    if (r0 > r1 || c0 > c1) return true;  // outside the used area: empty in both
    if (plan->onlyColumn && area.firstColumn == plan->onlyColumn && area.lastColumn == plan->onlyColumn) return true;
    const auto first = std::lower_bound(s->keptRows.begin(), s->keptRows.end(), r0);
    const auto last = std::upper_bound(s->keptRows.begin(), s->keptRows.end(), r1);
    return static_cast<uint64_t>(last - first) == uint64_t(r1) - r0 + 1;
}

namespace {

// Whether a number in a style can show a pattern's text, worked out once per style.
class NumberStyleFilter {
public:
    NumberStyleFilter(const model::WorkbookModel &workbook, DisplayTextCache &display,
                      const search::FindPattern &pattern)
        : workbook_(workbook), display_(display), pattern_(pattern) {}

    bool possible(uint32_t style) {
        if (style >= known_.size()) known_.resize(style + 1, 0);
        uint8_t &k = known_[style];
        if (k == 0) {
            std::u16string alphabet;
            k = (!display_.numberAlphabet(workbook_, style, &alphabet) || pattern_.literalsWithin(alphabet)) ? 1 : 2;
        }
        return k == 1;
    }

private:
    const model::WorkbookModel &workbook_;
    DisplayTextCache &display_;
    const search::FindPattern &pattern_;
    std::vector<uint8_t> known_;
};

model::Cell repooled(const model::Cell &cell, const model::WorkbookModel &source, model::StringPool &pool) {
    model::Cell c = cell;
    if (c.type == model::CellType::String) c.stringId = pool.intern(source.strings().at(cell.stringId));
    return c;
}

}  // namespace

model::WorkbookModel reduceWorkbook(const std::shared_ptr<const CachedWorkbook> &full,
                                    const std::shared_ptr<const SearchPlan> &plan, Reduction *reduction) {
    const model::WorkbookModel &source = full->model();
    DisplayTextCache display;
    display.attachShared(full);
    std::vector<NumberStyleFilter> filters;
    filters.reserve(plan->patterns.size());
    for (const search::FindPattern &p : plan->patterns) filters.emplace_back(source, display, p);

    reduction->plan = plan;
    reduction->sheets.clear();
    model::WorkbookModel out = source;  // shares everything until replaced below
    model::StringPool pool;
    for (size_t i = 0; i < source.sheetCount(); ++i) {
        const model::Sheet &sheet = source.sheet(i);
        ReducedSheet info;
        info.uid = sheet.uid;
        info.hasUsed = sheet.usedArea(&info.used);

        model::Sheet kept;
        kept.name = sheet.name;
        kept.uid = sheet.uid;
        kept.columns = sheet.columns;
        kept.merges = sheet.merges;
        kept.defaultRowHeight = sheet.defaultRowHeight;
        kept.defaultColumnWidth = sheet.defaultColumnWidth;
        kept.hidden = sheet.hidden;
        for (const model::Row &row : sheet.rows()) {
            bool keep = info.hasUsed && row.index == info.used.firstRow;
            for (auto cell = row.cells.begin(); !keep && cell != row.cells.end(); ++cell) {
                if (!cell->hasValue()) continue;
                for (size_t p = 0; p < plan->patterns.size() && !keep; ++p) {
                    if (cell->type == model::CellType::Number && !filters[p].possible(cell->style)) continue;
                    keep = plan->patterns[p].matches(display.folded(source, *cell));
                }
            }
            if (keep) {
                info.keptRows.push_back(row.index);
                model::Row &r = kept.rowForWrite(row.index);
                r.height = row.height;
                r.style = row.style;
                r.hidden = row.hidden;
                for (const model::Cell &c : row.cells) kept.setCell(row.index, repooled(c, source, pool));
            } else if (plan->onlyColumn) {
                auto c = std::lower_bound(row.cells.begin(), row.cells.end(), plan->onlyColumn,
                                          [](const model::Cell &x, uint32_t col) { return x.column < col; });
                if (c != row.cells.end() && c->column == plan->onlyColumn) {
                    model::Row &r = kept.rowForWrite(row.index);
                    r.height = row.height;
                    r.style = row.style;
                    r.hidden = row.hidden;
                    kept.setCell(row.index, repooled(*c, source, pool));
                }
            }
        }
        out.replaceSheet(i, std::move(kept));
        reduction->sheets.push_back(std::move(info));
    }
    out.replaceStrings(std::move(pool));
    return out;
}

}  // namespace automation::native
