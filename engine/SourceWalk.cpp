#include "engine/SourceWalk.h"

#include "engine/SheetSearch.h"
#include "engine/SourceListing.h"

#include <QDir>

namespace engine {

namespace {

void walkSheet(JobContext &job, PassState &pass, automation::Worksheet &sheet)
{
    const OptionSet &options = job.options;
    if (options.namedSheetOnly && sheet.name() != options.sheetName)
        return;

    std::unique_ptr<automation::Range> used = sheet.usedRange();
    if (!used)
        return;  // a chart sheet has no cells to search
    const int firstRow = used->row();
    const int firstColumn = used->column();
    std::unique_ptr<automation::Range> startCell = sheet.cells(firstRow, firstColumn);
    if (!startCell)
        return;

    automation::Range *searchRange = used.get();
    std::unique_ptr<automation::Range> scratchUsed;
    if (options.oneColumnOnly) {
        std::unique_ptr<automation::Range> column = sheet.columns(options.columnNumber);
        if (column && pass.scratchCell)
            column->copy(*pass.scratchCell);
        scratchUsed = pass.scratchSheet ? pass.scratchSheet->usedRange() : nullptr;
        searchRange = scratchUsed.get();
        if (!searchRange)
            return;
    }

    const bool emptySheet = used->rowCount() == 1 && used->columnCount() == 1 && startCell->value().isEmpty();
    if (!emptySheet)
        searchSheet(job, pass, sheet, *searchRange, *startCell);

    searchRange->clear();
}

}  // namespace

void walkSources(JobContext &job, PassState &pass, const QStringList &sourceFiles)
{
    job.filesSearched = 0;
    QStringList workbookPaths;
    for (const QString &entry : sourceFiles) {
        const QString path = QDir::toNativeSeparators(entry);
        if (isWorkbookPath(path))
            workbookPaths.append(path);
    }
    // The backend may read the next workbooks while this thread searches the
    // current one, and keep them for the passes still to come.
    automation::OpenPlan plan;
    plan.paths = workbookPaths;
    plan.passes = pass.passCount - pass.passIndex;
    plan.searches = job.values;
    plan.lookAt = job.matchMode;
    plan.wholeColumn = job.options.oneColumnOnly ? job.options.columnNumber : 0;
    job.workbooks->expectOpens(plan);

    for (const QString &path : workbookPaths) {
        job.report(path);

        std::unique_ptr<automation::Workbook> workbook = job.workbooks->open(path);
        if (!workbook)
            continue;
        ++job.filesSearched;

        std::unique_ptr<automation::Sheets> sheets = workbook->sheets();
        const int count = sheets ? sheets->count() : 0;
        for (int number = 1; number <= count; ++number) {
            std::unique_ptr<automation::Worksheet> sheet = sheets->item(number);
            if (sheet)
                walkSheet(job, pass, *sheet);
        }
        workbook->close(false);
    }
}

}  // namespace engine
