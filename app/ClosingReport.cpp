// SPDX-License-Identifier: Apache-2.0
#include "app/ClosingReport.h"

#include "engine/JobText.h"

namespace app {

ClosingReport closingReportOf(const engine::JobResult &result) {
    namespace text = engine::text;
    ClosingReport report;
    report.summary = result.summary;

    const int unreadable = result.filesNotSearched();
    if (unreadable > 0) report.attention << text::filesUnreadable(unreadable);
    if (result.stopped) report.attention << text::jobStopped(result.filesNotReached, result.valuesNotSearched);
    long long uncalculated = 0;
    for (const engine::SourceFileReport &file : result.files) uncalculated += file.formulasNotEvaluated;
    if (uncalculated > 0) report.attention << text::formulasNotEvaluated(uncalculated);
    for (const QString &path : result.csvResults) report.attention << text::savedAsCsv(path);
    for (const engine::FailedSave &failed : result.failedSaves)
        report.attention << text::saveFailed(failed.path, failed.reason);
    // An error that is not a failed save (a header template, an interruption)
    // is said in the job's own words.
    if (result.outcome == engine::JobResult::Outcome::Error && result.failedSaves.isEmpty())
        report.attention << result.errorReason;

    for (const engine::SourceFileReport &file : result.files)
        if (file.outcome != engine::FileOutcome::Searched) report.details << text::notSearchedPrefix(file) + file.path;
    for (const engine::SourceFileReport &file : result.files)
        if (file.formulasNotEvaluated > 0)
            report.details << text::formulasNotEvaluatedIn(file.formulasNotEvaluated, file.path);
    for (const engine::FailedSave &failed : result.failedSaves) {
        report.details << text::saveFailed(failed.path, failed.reason);
        if (!failed.error.isEmpty() && failed.error != failed.reason)
            report.details << QStringLiteral("    ") + failed.error;
    }
    return report;
}

}  // namespace app
