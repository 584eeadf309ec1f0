#include "engine/SheetSearch.h"

#include <QSet>
#include <QString>
#include <utility>

namespace engine {

namespace {

constexpr int kDestinationColumn = 1;

// The row below the result sheet's content; an empty sheet counts as holding row 1.
int destinationRow(const PassState &pass)
{
    long long lastUsedRow = 1;
    if (auto used = pass.resultSheet->usedRange()) {
        // Counting from the used range's first row keeps template rows below a blank top row.
        lastUsedRow = used->row() + used->rowCount() - 1;
    }
    return static_cast<int>(pass.headerRowFlag + lastUsedRow);
}

void searchValue(JobContext &job, PassState &pass, const QString &value, automation::Worksheet &sourceSheet,
                 automation::Range &searchRange, const automation::Range &startCell)
{
    const bool perValue = job.options.oneBookPerValue;
    const bool cellOnly = !perValue && job.options.dataColumnOnly;
    // A found cell that cannot be emptied would be found again forever.
    QSet<std::pair<int, int>> alreadyFound;

    while (true) {
        std::unique_ptr<automation::Range> found =
            searchRange.find(value, &startCell, automation::kLookInValues, job.matchMode);
        if (!found)
            return;
        const int foundRow = found->row();
        const int foundColumn = found->column();
        if (alreadyFound.contains({foundRow, foundColumn}))
            return;
        alreadyFound.insert({foundRow, foundColumn});

        ++job.rowsExtracted;
        if (perValue)
            ++job.rowsInWorkbook;

        std::unique_ptr<automation::Range> destination =
            pass.resultSheet->cells(destinationRow(pass), kDestinationColumn);

        std::unique_ptr<automation::Range> source;
        if (cellOnly) {
            // In one-column mode the found cell lies on the scratch sheet's column A.
            const int column = job.options.oneColumnOnly ? job.options.columnNumber : foundColumn;
            source = sourceSheet.cells(foundRow, column);
        } else {
            source = sourceSheet.rows(foundRow);
        }
        if (source && destination)
            source->copy(*destination);

        found->setValue(QString());
        pass.headerRowFlag = 1;
    }
}

}  // namespace

void searchSheet(JobContext &job, PassState &pass, automation::Worksheet &sourceSheet,
                 automation::Range &searchRange, const automation::Range &startCell)
{
    if (!pass.resultSheet)
        return;
    const int first = job.options.oneBookPerValue ? pass.passIndex : 0;
    const int last = job.options.oneBookPerValue ? pass.passIndex + 1 : job.values.size();
    for (int i = first; i < last && i < job.values.size(); ++i) {
        const QString &value = job.values.at(i);
        if (value.trimmed().isEmpty())
            continue;
        searchValue(job, pass, value, sourceSheet, searchRange, startCell);
    }
}

}  // namespace engine
