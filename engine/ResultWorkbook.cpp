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
        const QString failure = text::kSaveFailedPrefix + workbookResultPath(job, pass);
        job.result.fail(failure);
        job.report(failure);
        return PassStart::SkipPass;
    }
    return PassStart::Ready;
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
        const QString failure = text::kSaveFailedPrefix + workbookResultPath(job, pass);
        job.result.fail(failure);
        job.report(failure);
        pass.workbook->close(false);
        return PassStart::SkipPass;
    }
    pass.scratchCell = pass.scratchSheet->cells(1, 1);
    job.filesSearched = 0;
    job.rowsInWorkbook = 0;
    pass.filesNotSearched = 0;
    return PassStart::Ready;
}

void endPass(JobContext &job, PassState &pass) {
    pass.scratchCell.reset();
    if (pass.scratchSheet) pass.scratchSheet->remove();
    pass.scratchSheet.reset();

    const long long elapsed = job.nowSeconds() - job.startSeconds;
    const bool leaveOut = job.options.oneBookPerValue && job.options.noFileWhenNoData && job.rowsInWorkbook == 0;

    if (!leaveOut) {
        const bool asCsv = job.rowsExtracted > rowLimit() || pastSheetRows(pass);
        const ResultTarget target = resultTarget(job, pass, asCsv);
        const automation::SaveResult saved =
            asCsv ? pass.workbook->saveAs(target.path, automation::kFileFormatCsv) : pass.workbook->saveAs(target.path);
        job.report(text::summary(job.filesSearched, job.rowsExtracted, elapsed, asCsv));
        if (saved.ok && saved.formatsSimplified && !std::exchange(job.formatsSimplifiedSaid, true))
            job.report(text::kFormatsSimplified);
        if (!saved.ok) {
            const QString failure = text::kSaveFailedPrefix + target.path;
            job.result.failedSaves.append(FailedSave{target.path, saved.error});
            job.result.fail(failure);
            job.report(failure);
        }
    }
    // Last, so that the status line, which keeps only the latest text, ends on it.
    if (pass.filesNotSearched > 0) job.report(text::filesNotSearched(pass.filesNotSearched));

    pass.resultSheet.reset();
    pass.sheets.reset();
    pass.workbook->close(false);
    pass.workbook.reset();
}

}  // namespace engine
