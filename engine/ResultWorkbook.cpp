// SPDX-License-Identifier: Apache-2.0
#include "engine/ResultWorkbook.h"

#include "engine/JobText.h"
#include "engine/ResultNaming.h"
#include "engine/RowLimit.h"
#include "engine/SourceListing.h"

#include <QFileInfo>

#include <utility>

namespace engine {

namespace {

constexpr int kResultSheetIndex = 1;

struct ResultTarget {
    QString baseName;  // the part of the file name that may come from a search value
    QString path;
};

// Past the row limit the pass value names a CSV file, in both modes.
ResultTarget resultTarget(const JobContext &job, const PassState &pass, bool asCsv) {
    const bool perValue = job.options.oneBookPerValue;
    const int valueIndex = perValue ? pass.passIndex : 0;
    const QString valueName = job.fileNames.value(valueIndex);
    ResultTarget target;
    if (asCsv) {
        target.baseName = valueName;
        target.path = resultFilePath(job.options.savePath, target.baseName, kCsvSuffix);
    } else {
        const bool namedByValue = perValue || job.values.size() == 1;
        target.baseName = namedByValue ? valueName : QString::fromLatin1(kBasketBaseName);
        target.path = resultFilePath(job.options.savePath, target.baseName, kWorkbookSuffix);
    }
    return target;
}

// True when the result sheet holds rows past the last row of a workbook sheet
// (a header template's rows and the copies together), which only CSV can keep.
bool pastSheetRows(const PassState &pass) {
    if (!pass.resultSheet) return false;
    std::unique_ptr<automation::Range> used = pass.resultSheet->usedRange();
    return used && used->row() + used->rowCount() - 1 > automation::kMaxSheetRows;
}

QString workbookResultPath(const JobContext &job, const PassState &pass) { return resultTarget(job, pass, false).path; }

// The writer's sentence without its "cannot save "path": " opening, which the
// status text already says.
QString writerWords(const QString &error, const QString &path) {
    const QString opening = QStringLiteral("cannot save \"") + path + QStringLiteral("\": ");
    return error.startsWith(opening) ? error.mid(opening.size()) : error;
}

// Records a failed save and tells the user, with the reason in brackets.
void reportSaveFailure(JobContext &job, const QString &path, const QString &error, const QString &reason) {
    const QString failure = text::saveFailed(path, reason);
    job.result.failedSaves.append(FailedSave{path, error, reason});
    job.result.fail(failure);
    job.report(failure);
}

void reportNoResultWorkbook(JobContext &job, const PassState &pass) {
    reportSaveFailure(job, workbookResultPath(job, pass), text::kNoResultWorkbook, text::kNoResultWorkbook);
}

PassStart openTemplate(JobContext &job, PassState &pass) {
    const QString path = job.options.headerWorkbookPath;
    if (!QFileInfo(path).isFile()) {
        job.result.fail(text::kHeaderMissing);
        job.report(text::kHeaderMissing);
        return PassStart::EndJob;
    }
    if (!isWorkbookPath(path)) {
        job.result.fail(text::kHeaderWrongType);
        job.report(text::kHeaderWrongType);
        return PassStart::EndJob;
    }
    job.report(text::kGettingHeader);
    pass.workbook = job.workbooks->open(path);
    if (!pass.workbook) {
        job.result.fail(text::kHeaderUnopenable);
        job.report(text::kHeaderUnopenable);
        return PassStart::EndJob;
    }
    pass.headerRowFlag = 1;
    return PassStart::Ready;
}

PassStart addBlankWorkbook(JobContext &job, PassState &pass) {
    job.workbooks->add();
    job.report(text::kWorkbookAdded);
    pass.workbook = job.application->activeWorkbook();
    job.report(text::kWorkbookActive);
    pass.headerRowFlag = 0;
    if (!pass.workbook) {
        reportNoResultWorkbook(job, pass);
        return PassStart::SkipPass;
    }
    return PassStart::Ready;
}

void reportStop(JobContext &job, const PassState &pass) {
    if (!job.result.stopped) return;
    job.result.filesNotReached = pass.filesNotReached;
    job.result.valuesNotSearched = pass.passCount - pass.passIndex - 1;
    job.report(text::jobStopped(job.result.filesNotReached, job.result.valuesNotSearched));
}

}  // namespace

PassStart beginPass(JobContext &job, PassState &pass) {
    job.report(text::kWorkbookAdded);
    job.report(text::kWorkbookActive);

    const PassStart opened = job.options.useHeaderWorkbook ? openTemplate(job, pass) : addBlankWorkbook(job, pass);
    if (opened != PassStart::Ready) return opened;

    pass.sheets = pass.workbook->sheets();
    pass.resultSheet = pass.sheets ? pass.sheets->item(kResultSheetIndex) : nullptr;
    if (pass.resultSheet) pass.scratchSheet = pass.sheets->add(*pass.resultSheet);
    if (!pass.resultSheet || !pass.scratchSheet) {
        // A workbook without a usable first sheet cannot take results.
        if (job.options.useHeaderWorkbook) {
            pass.workbook->close(false);
            job.result.fail(text::kHeaderUnopenable);
            job.report(text::kHeaderUnopenable);
            return PassStart::EndJob;
        }
        reportNoResultWorkbook(job, pass);
        pass.workbook->close(false);
        return PassStart::SkipPass;
    }
    pass.scratchCell = pass.scratchSheet->cells(1, 1);
    job.filesSearched = 0;
    job.rowsInWorkbook = 0;
    pass.filesNotSearched = 0;
    return PassStart::Ready;
}

void stopBeforePass(JobContext &job, int valuesLeft) {
    job.result.stopped = true;
    job.result.filesNotReached = 0;
    job.result.valuesNotSearched = valuesLeft;
    job.report(text::jobStopped(0, valuesLeft));
}

void endPass(JobContext &job, PassState &pass) {
    pass.scratchCell.reset();
    if (pass.scratchSheet) pass.scratchSheet->remove();
    pass.scratchSheet.reset();

    const long long elapsed = job.nowSeconds() - job.startSeconds;
    const bool leaveOut = job.options.oneBookPerValue && job.options.noFileWhenNoData && job.rowsInWorkbook == 0;

    automation::WriteResult saved;
    ResultTarget target;
    if (!leaveOut) {
        const bool asCsv = job.rowsExtracted > rowLimit() || pastSheetRows(pass);
        target = resultTarget(job, pass, asCsv);
        saved =
            asCsv ? pass.workbook->saveAs(target.path, automation::kFileFormatCsv) : pass.workbook->saveAs(target.path);
        job.result.summary = text::summary(job.filesSearched, job.rowsExtracted, elapsed, asCsv);
        job.report(job.result.summary);
        if (saved.ok && asCsv) job.result.csvResults.append(target.path);
        if (saved.ok && saved.formatsSimplified && !std::exchange(job.formatsSimplifiedSaid, true))
            job.report(text::kFormatsSimplified);
    }
    if (pass.filesNotSearched > 0) job.report(text::filesNotSearched(pass.filesNotSearched));
    reportStop(job, pass);
    // Last, so that the status line, which keeps only the latest text, ends on
    // what the user must not miss.
    if (!leaveOut && !saved.ok) {
        const QString error = QString::fromStdString(saved.error);
        reportSaveFailure(job, target.path, error,
                          text::saveFailureReason(saved.failure, writerWords(error, target.path)));
    }

    pass.resultSheet.reset();
    pass.sheets.reset();
    pass.workbook->close(false);
    pass.workbook.reset();
}

}  // namespace engine
