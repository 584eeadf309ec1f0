// SPDX-License-Identifier: Apache-2.0
#include "engine/SheetSearch.h"

#include <QSet>
#include <QString>
#include <utility>

namespace engine {

namespace {

constexpr int kDestinationColumn = 1;

using CellPosition = std::pair<int, int>;  // row, column

// The row below the result sheet's content; an empty sheet counts as holding row 1.
int destinationRow(const PassState &pass) {
    long long lastUsedRow = 1;
    if (auto used = pass.resultSheet->usedRange()) {
        // Counting from the used range's first row keeps template rows below a blank top row.
        lastUsedRow = used->row() + used->rowCount() - 1;
    }
    return static_cast<int>(pass.headerRowFlag + lastUsedRow);
}

void copyFoundRow(JobContext &job, PassState &pass, automation::Worksheet &sourceSheet, const CellPosition &cell) {
    const bool perValue = job.options.oneBookPerValue;
    const bool cellOnly = !perValue && job.options.dataColumnOnly;
    ++job.rowsExtracted;
    if (perValue) ++job.rowsInWorkbook;

    std::unique_ptr<automation::Range> destination = pass.resultSheet->cells(destinationRow(pass), kDestinationColumn);
    std::unique_ptr<automation::Range> source;
    if (cellOnly) {
        // In one-column mode the found cell lies on the scratch sheet's column A.
        const int column = job.options.oneColumnOnly ? job.options.columnNumber : cell.second;
        source = sourceSheet.cells(cell.first, column);
    } else {
        source = sourceSheet.rows(cell.first);
    }
    if (source && destination) source->copy(*destination);
    pass.headerRowFlag = 1;
}

// Every cell that Find returns for `value`, in its order after the start cell,
// once. The search goes on from the last hit and ends when it comes round to
// its first hit. Cells an earlier value of this sheet found are passed over,
// as if emptied, but nothing is emptied: every copy shows its row exactly as
// the source holds it, however many of its cells were found before.
void searchValue(JobContext &job, PassState &pass, const QString &value, automation::Worksheet &sourceSheet,
                 automation::Range &searchRange, const automation::Range &startCell, QSet<CellPosition> &foundOnSheet) {
    // Whatever the backend does, a search cannot return more cells than the range holds.
    const long long maxHits = searchRange.count() + 1;
    std::unique_ptr<automation::Range> previous;
    CellPosition first{0, 0};
    for (long long hits = 0; hits < maxHits; ++hits) {
        std::unique_ptr<automation::Range> found =
            searchRange.find(value, previous ? previous.get() : &startCell, automation::kLookInValues, job.matchMode);
        if (!found) return;
        const CellPosition cell{found->row(), found->column()};
        if (hits == 0)
            first = cell;
        else if (cell == first || cell == CellPosition{previous->row(), previous->column()})
            return;
        if (!foundOnSheet.contains(cell)) {
            foundOnSheet.insert(cell);
            copyFoundRow(job, pass, sourceSheet, cell);
        }
        previous = std::move(found);
    }
}

}  // namespace

void searchSheet(JobContext &job, PassState &pass, automation::Worksheet &sourceSheet, automation::Range &searchRange,
                 const automation::Range &startCell) {
    if (!pass.resultSheet) return;
    QSet<CellPosition> foundOnSheet;
    const int first = job.options.oneBookPerValue ? pass.passIndex : 0;
    const int last = job.options.oneBookPerValue ? pass.passIndex + 1 : job.values.size();
    for (int i = first; i < last && i < job.values.size(); ++i) {
        const QString &value = job.values.at(i);
        if (value.trimmed().isEmpty()) continue;
        searchValue(job, pass, value, sourceSheet, searchRange, startCell, foundOnSheet);
    }
}

}  // namespace engine
