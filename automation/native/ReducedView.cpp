// SPDX-License-Identifier: Apache-2.0
#include "automation/native/ReducedView.h"

#include "automation/Automation.h"

#include "automation/model/LargeMemory.h"
#include "automation/native/DisplayText.h"
#include "automation/native/SourceRead.h"
#include "automation/native/WorkbookCache.h"
#include "automation/readers/Readers.h"
#include "automation/search/TextFold.h"

#include "automation/numfmt/NumberFormat.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>

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
    if (!s || !s->outline.hasUsed) return true;  // nothing was left out there
    const uint32_t r0 = std::max(area.firstRow, s->outline.used.firstRow),
                   r1 = std::min(area.lastRow, s->outline.used.lastRow);
    const uint32_t c0 = std::max(area.firstColumn, s->outline.used.firstColumn),
                   c1 = std::min(area.lastColumn, s->outline.used.lastColumn);
    if (r0 > r1 || c0 > c1) return true;  // outside the used area: empty in both
    if (plan->onlyColumn && area.firstColumn == plan->onlyColumn && area.lastColumn == plan->onlyColumn) return true;
    const auto first = std::lower_bound(s->outline.keptRows.begin(), s->outline.keptRows.end(), r0);
    const auto last = std::upper_bound(s->outline.keptRows.begin(), s->outline.keptRows.end(), r1);
    return static_cast<uint64_t>(last - first) == uint64_t(r1) - r0 + 1;
}

namespace {

// Whether a number in a style can show a pattern's text, worked out once per style.
class NumberStyleFilter {
public:
    NumberStyleFilter(const model::WorkbookModel &workbook, DisplayTextCache &display,
                      const search::FindPattern &pattern)
        : workbook_(workbook), display_(display), pattern_(pattern), digitRun_(pattern.longestDigitRun()) {}

    bool possible(uint32_t style, double value) {
        const uint8_t k = verdict(style);
        if (k == kMaybeGeneral) return !tooFewDigits(value);
        return k == kMaybe || (k == kNeverFinite && !std::isfinite(value));
    }
    // No number in the style shows the pattern, whatever its value.
    bool never(uint32_t style) { return verdict(style) == kNever; }

private:
    // 0: not yet known. kMaybeGeneral: General, which shows a whole number
    // as its digits (or fewer, rounded): a quantity of 3 digits never shows
    // a run of 10.
    static constexpr uint8_t kMaybe = 1, kNever = 2, kNeverFinite = 3, kMaybeGeneral = 4;

    uint8_t verdict(uint32_t style) {
        if (style >= known_.size()) known_.resize(style + 1, 0);
        uint8_t &k = known_[style];
        if (k == 0) {
            std::u16string alphabet;
            const bool withinAlphabet =
                !display_.numberAlphabet(workbook_, style, &alphabet) || pattern_.literalsWithin(alphabet);
            // "#,##0.00" never shows "1101011234", whole or in part.
            const std::string &code = workbook_.styles().at(style).numberFormat;
            const int digitRun = numfmt::longestDigitRun(code);
            const bool runTooLong = digitRun >= 0 && digitRun_ > digitRun;
            const bool pointExcluded = pattern_.excludes(u'.') && numfmt::alwaysShowsDecimalPoint(code);
            k = !withinAlphabet || runTooLong ? kNever : pointExcluded ? kNeverFinite : kMaybe;
            if (k == kMaybe && isGeneralFormat(code)) k = kMaybeGeneral;
        }
        return k;
    }

    bool tooFewDigits(double value) const {
        constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        if (digitRun_ < 2) return false;
        const double magnitude = std::fabs(value);
        return magnitude < kPowersOfTen[std::min(digitRun_, 16) - 1] && magnitude == std::trunc(magnitude);
    }

    const model::WorkbookModel &workbook_;
    DisplayTextCache &display_;
    const search::FindPattern &pattern_;
    const int digitRun_;  // the pattern's longest run of digits
    std::vector<uint8_t> known_;
};

// Gives the kept cells a pool of their own: each text they show, once, in
// the order first met. The file's shared strings (numbers below
// `sharedCount`) hold one entry per text as the producer wrote them, so they
// are mapped by their number alone; other texts (written inline, where one
// text may stand in many cells) are looked up by value. A hash index over
// every shared string would cost time and memory and merge next to nothing.
class Repool {
public:
    Repool(const model::StringPool &source, size_t sharedCount)
        : source_(source), sharedCount_(sharedCount), map_(source.size(), kUnmapped) {}

    model::Cell operator()(const model::Cell &cell) {
        model::Cell c = cell;
        if (c.type == model::CellType::String) c.stringId = id(c.stringId);
        return c;
    }
    // The number in the new pool of the text numbered `source` in the source.
    uint32_t id(uint32_t source) {
        if (source >= map_.size()) return pool_.intern({});  // no such text: shown empty, as the source shows it
        uint32_t &mapped = map_[source];
        if (mapped == kUnmapped) {
            const std::string_view text = source_.at(source);
            mapped = source < sharedCount_ ? pool_.append(text) : pool_.intern(text);
        }
        return mapped;
    }
    model::StringPool take() { return std::move(pool_); }

private:
    static constexpr uint32_t kUnmapped = UINT32_MAX;
    const model::StringPool &source_;
    const size_t sharedCount_;
    // One entry a source text, millions in a large workbook: taken as the
    // string pool takes its index, a few large pages rather than thousands of small ones.
    std::vector<uint32_t, model::LargeAllocator<uint32_t>> map_;
    model::StringPool pool_;
};

// Judges cells for a reader as the search would find them: by their
// displayed text, folded. A shared string is judged once, however many cells
// show it.
class PlanFilter : public readers::RowFilter {
public:
    explicit PlanFilter(const SearchPlan &plan) : plan_(plan) {}

    // The texts the workbook held before its sheets were read: its shared strings.
    size_t sharedCount() const { return sharedCount_; }

    void prepare(const model::WorkbookModel &workbook) override {
        numberFilters_.clear();
        for (const search::FindPattern &p : plan_.patterns) numberFilters_.emplace_back(workbook, display_, p);
        sharedCount_ = workbook.strings().size();
        stringVerdicts_.assign(sharedCount_, kUnknown);
        plainStyles_.assign(workbook.styles().size(), kUnknown);
        numberStyles_.assign(workbook.styles().size(), kUnknown);
        numberVerdicts_.clear();
    }

    bool canMatch(const model::WorkbookModel &workbook, const model::Cell &cell) override {
        switch (cell.type) {
            case model::CellType::Empty:
                return false;
            case model::CellType::String:
                if (showsTextAsIs(workbook, cell.style)) {
                    if (cell.stringId < sharedCount_) {
                        uint8_t &v = stringVerdicts_[cell.stringId];
                        if (v == kUnknown) v = anyMatchesText(workbook.strings().at(cell.stringId)) ? kYes : kNo;
                        return v == kYes;
                    }
                    // A text of the sheet itself: most are seen once, so nothing is kept.
                    return anyMatchesText(workbook.strings().at(cell.stringId));
                }
                return anyMatches(display_.folded(workbook, cell));
            case model::CellType::Number: {
                // Most numbers are ruled out by their style alone (an amount's
                // format never shows a ten-digit ID), or by their value (a
                // quantity in General is too short for it): neither costs a
                // look-up in the verdict table, which is too large to stay in cache.
                if (cell.style >= numberStyles_.size()) numberStyles_.resize(cell.style + 1, kUnknown);
                uint8_t &style = numberStyles_[cell.style];
                if (style == kUnknown) {
                    style = kNo;
                    for (NumberStyleFilter &filter : numberFilters_)
                        if (!filter.never(cell.style)) style = kYes;
                }
                if (style == kNo) return false;
                const size_t patterns = plan_.patterns.size();
                size_t first = 0;  // the first pattern the number may show
                while (first < patterns && !numberFilters_[first].possible(cell.style, cell.number)) ++first;
                if (first == patterns) return false;
                // Numbers repeat (dates, quantities) among others that do not
                // (amounts): a verdict remembered per value and style spares
                // rendering and matching the repeated ones again.
                uint64_t bits = 0;
                std::memcpy(&bits, &cell.number, sizeof bits);
                const uint64_t h = (bits ^ (uint64_t(cell.style) << 40)) * 0x9E3779B97F4A7C15ULL;
                if (numberVerdicts_.empty()) numberVerdicts_.resize(kNumberVerdicts);
                NumberVerdict &slot = numberVerdicts_[(h >> 40) & (kNumberVerdicts - 1)];
                if (slot.known && slot.bits == bits && slot.style == cell.style) return slot.matches;
                bool matches = false;
                for (size_t p = first; p < patterns && !matches; ++p) {
                    if (!numberFilters_[p].possible(cell.style, cell.number)) continue;
                    matches = plan_.patterns[p].matches(display_.folded(workbook, cell));
                }
                slot = NumberVerdict{bits, cell.style, true, matches};
                return matches;
            }
            default:
                return anyMatches(display_.folded(workbook, cell));
        }
    }

    uint32_t keptColumn() const override { return plan_.onlyColumn; }

private:
    static constexpr uint8_t kUnknown = 0, kYes = 1, kNo = 2;
    static constexpr size_t kNumberVerdicts = size_t(1) << 12;  // a power of two; 64 KiB stays in cache
    struct NumberVerdict {
        uint64_t bits = 0;
        uint32_t style = 0;
        bool known = false;
        bool matches = false;
    };

    // A text as it is written: folded only for the patterns that need it.
    bool anyMatchesText(std::string_view text) const {
        std::u16string folded;
        bool haveFolded = false;
        for (const search::FindPattern &p : plan_.patterns) {
            bool decided = false;
            const bool matches = p.matchesUnfolded(text, &decided);
            if (decided) {
                if (matches) return true;
                continue;
            }
            if (!haveFolded) {
                folded = search::foldText(text);
                haveFolded = true;
            }
            if (p.matches(folded)) return true;
        }
        return false;
    }

    bool anyMatches(const std::u16string &folded) const {
        for (const search::FindPattern &p : plan_.patterns)
            if (p.matches(folded)) return true;
        return false;
    }

    // A string in the General or the text format shows as it is.
    bool showsTextAsIs(const model::WorkbookModel &workbook, uint32_t style) {
        if (style >= plainStyles_.size()) plainStyles_.resize(style + 1, kUnknown);
        uint8_t &k = plainStyles_[style];
        if (k == kUnknown) {
            const std::string &code = workbook.styles().at(style).numberFormat;
            k = isGeneralFormat(code) || code == "@" ? kYes : kNo;
        }
        return k == kYes;
    }

    const SearchPlan &plan_;
    DisplayTextCache display_;
    std::vector<NumberStyleFilter> numberFilters_;
    size_t sharedCount_ = 0;
    std::vector<uint8_t, model::LargeAllocator<uint8_t>> stringVerdicts_;  // as Repool's map
    std::vector<uint8_t> plainStyles_;
    std::vector<uint8_t> numberStyles_;  // per style: whether any pattern may show in its numbers
    std::vector<NumberVerdict> numberVerdicts_;
};

// The workbook with only the strings its cells use, pooled anew. The kept
// rows stay where the reader put them: only their string numbers change.
model::WorkbookModel compacted(model::WorkbookModel &&read, size_t sharedCount) {
    model::WorkbookModel out = std::move(read);
    Repool repool(out.strings(), sharedCount);
    for (size_t i = 0; i < out.sheetCount(); ++i)
        out.mutableSheet(i).renumberStrings([&repool](uint32_t id) { return repool.id(id); });
    out.replaceStrings(repool.take());
    return out;
}

}  // namespace

std::shared_ptr<const CachedWorkbook> readReduced(const QString &path, const std::shared_ptr<const SearchPlan> &plan,
                                                  readers::ReadStatus *status) {
    PlanFilter filter(*plan);
    std::vector<readers::SheetOutline> outlines;
    readers::ReadResult read = readSourceWorkbook(path, &filter, &outlines);
    if (status) *status = read.status;
    if (!read.workbook) return nullptr;
    if (outlines.size() != read.workbook->sheetCount()) {
        // Read whole (not a package): reduce it now.
        auto whole = std::make_shared<const CachedWorkbook>(std::move(*read.workbook));
        auto reduction = std::make_shared<Reduction>();
        model::WorkbookModel reduced = reduceWorkbook(whole, plan, reduction.get());
        return std::make_shared<const CachedWorkbook>(std::move(reduced), std::move(reduction));
    }
    auto reduction = std::make_shared<Reduction>();
    reduction->plan = plan;
    reduction->sheets.reserve(outlines.size());
    for (size_t i = 0; i < outlines.size(); ++i) {
        ReducedSheet info;
        info.uid = read.workbook->sheet(i).uid;
        info.outline = std::move(outlines[i]);
        reduction->sheets.push_back(std::move(info));
    }
    return std::make_shared<const CachedWorkbook>(compacted(std::move(*read.workbook), filter.sharedCount()),
                                                  std::move(reduction));
}

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
    model::WorkbookModel out = source;   // shares everything until replaced below
    Repool repool(source.strings(), 0);  // a whole read: its pool's numbering says nothing
    for (size_t i = 0; i < source.sheetCount(); ++i) {
        const model::Sheet &sheet = source.sheet(i);
        ReducedSheet info;
        info.uid = sheet.uid;
        info.outline.hasUsed = sheet.usedArea(&info.outline.used);

        model::Sheet kept = model::sheetWithoutRows(sheet);
        for (const model::Row &row : sheet.rows()) {
            bool keep = info.outline.hasUsed && row.index == info.outline.used.firstRow;
            for (auto cell = row.cells.begin(); !keep && cell != row.cells.end(); ++cell) {
                if (!cell->hasValue()) continue;
                for (size_t p = 0; p < plan->patterns.size() && !keep; ++p) {
                    if (cell->type == model::CellType::Number && !filters[p].possible(cell->style, cell->number))
                        continue;
                    keep = plan->patterns[p].matches(display.folded(source, *cell));
                }
            }
            if (keep) {
                info.outline.keptRows.push_back(row.index);
                model::Row &r = kept.rowForWrite(row.index);
                r.height = row.height;
                r.style = row.style;
                r.hidden = row.hidden;
                for (const model::Cell &c : row.cells) kept.setCell(row.index, repool(c));
            } else if (plan->onlyColumn) {
                auto c = std::lower_bound(row.cells.begin(), row.cells.end(), plan->onlyColumn,
                                          [](const model::Cell &x, uint32_t col) { return x.column < col; });
                if (c != row.cells.end() && c->column == plan->onlyColumn) {
                    model::Row &r = kept.rowForWrite(row.index);
                    r.height = row.height;
                    r.style = row.style;
                    r.hidden = row.hidden;
                    kept.setCell(row.index, repool(*c));
                }
            }
        }
        out.replaceSheet(i, std::move(kept));
        reduction->sheets.push_back(std::move(info));
    }
    out.replaceStrings(repool.take());
    return out;
}

}  // namespace automation::native
