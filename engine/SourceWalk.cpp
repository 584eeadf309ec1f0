// SPDX-License-Identifier: Apache-2.0
#include "engine/SourceWalk.h"

#include "engine/JobText.h"
#include "engine/SheetSearch.h"
#include "engine/SourceListing.h"

#include <QDir>

namespace engine {

namespace {

// True when the sheet was searched.
bool walkSheet(JobContext &job, PassState &pass, automation::Worksheet &sheet) {
    const OptionSet &options = job.options;
    if (options.namedSheetOnly && sheet.name() != options.sheetName) return false;

    std::unique_ptr<automation::Range> used = sheet.usedRange();
    if (!used) return false;  // a chart sheet has no cells to search
    const int firstRow = used->row();
    const int firstColumn = used->column();
    std::unique_ptr<automation::Range> startCell = sheet.cells(firstRow, firstColumn);
    if (!startCell) return false;

    automation::Range *searchRange = used.get();
    std::unique_ptr<automation::Range> scratchUsed;
    if (options.oneColumnOnly) {
        std::unique_ptr<automation::Range> column = sheet.columns(options.columnNumber);
        if (column && pass.scratchCell) column->copy(*pass.scratchCell);
        scratchUsed = pass.scratchSheet ? pass.scratchSheet->usedRange() : nullptr;
        searchRange = scratchUsed.get();
        if (!searchRange) return false;
    }

    const bool emptySheet = used->rowCount() == 1 && used->columnCount() == 1 && startCell->value().isEmpty();
    if (!emptySheet) searchSheet(job, pass, sheet, *searchRange, *startCell);

    searchRange->clear();
    return !emptySheet;
}

// Tells the user, right after the path, why a workbook could not be searched.
void reportNotOpened(JobContext &job, PassState &pass, SourceFileReport &file, automation::ReadStatus why) {
    file.outcome = FileOutcome::NotRead;
    // No workbook without a reason is still a failure.
    file.whyNotRead = why == automation::ReadStatus::Ok ? automation::ReadStatus::Unreadable : why;
    ++pass.filesNotSearched;
    job.report(text::notSearchedPrefix(file) + file.path);
}

// A file first met in this pass keeps the stop as its outcome; one searched
// for an earlier value keeps that pass's outcome.
void noteNotReached(JobContext &job, PassState &pass, const QStringList &paths) {
    job.result.stopped = true;
    pass.filesNotReached = paths.size();
    for (const QString &path : paths) {
        SourceFileReport &file = job.fileReport(path);
        if (pass.passIndex == 0) file.outcome = FileOutcome::Stopped;
    }
}

}  // namespace

void walkSources(JobContext &job, PassState &pass, const QStringList &sourceFiles) {
    job.filesSearched = 0;
    QStringList workbookPaths;
    for (const QString &entry : sourceFiles) {
        const QString path = QDir::toNativeSeparators(entry);
        if (isWorkbookPath(path)) workbookPaths.append(path);
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

    const int total = static_cast<int>(workbookPaths.size());
    job.progress(0, total, pass.passIndex, pass.passCount);
    for (int index = 0; index < total; ++index) {
        // A stop lets the file in hand finish: the pass then ends as usual.
        if (job.stopRequested()) {
            noteNotReached(job, pass, workbookPaths.mid(index));
            return;
        }
        const QString &path = workbookPaths[index];
        job.report(path);
        SourceFileReport &file = job.fileReport(path);

        automation::OpenResult opened = job.workbooks->openWorkbook(path);
        std::unique_ptr<automation::Workbook> workbook = std::move(opened.workbook);
        if (!workbook) {
            reportNotOpened(job, pass, file, opened.status);
            job.progress(index + 1, total, pass.passIndex, pass.passCount);
            continue;
        }
        ++job.filesSearched;
        file.outcome = FileOutcome::Searched;
        file.whyNotRead = automation::ReadStatus::Ok;

        const long long rowsBefore = job.rowsExtracted;
        int sheetsSearched = 0;
        std::unique_ptr<automation::Sheets> sheets = workbook->sheets();
        const int count = sheets ? sheets->count() : 0;
        for (int number = 1; number <= count; ++number) {
            std::unique_ptr<automation::Worksheet> sheet = sheets->item(number);
            if (sheet && walkSheet(job, pass, *sheet)) ++sheetsSearched;
        }
        file.formulasNotEvaluated = workbook->formulasNotEvaluated();
        workbook->close(false);
        // Every pass searches the same sheets; the rows add up over the passes.
        file.sheetsSearched = sheetsSearched;
        file.rowsExtracted += job.rowsExtracted - rowsBefore;
        job.progress(index + 1, total, pass.passIndex, pass.passCount);
    }
}

}  // namespace engine
