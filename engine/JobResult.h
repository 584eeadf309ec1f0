// SPDX-License-Identifier: Apache-2.0
// What a job did, for whoever started it: the window and the command line take
// what they report from here instead of reading it back out of status texts.
#pragma once

#include "automation/Automation.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace engine {

// What became of one source workbook. Stopped: the job was stopped before it
// reached the file in any pass.
enum class FileOutcome { Searched, NotRead, Stopped };

struct SourceFileReport {
    QString path;  // native separators, as shown in the status texts
    FileOutcome outcome = FileOutcome::Searched;
    automation::ReadStatus whyNotRead = automation::ReadStatus::Ok;  // when outcome is NotRead
    int sheetsSearched = 0;
    long long rowsExtracted = 0;   // copies made from this file, over every pass
    int formulasNotEvaluated = 0;  // formula cells searched as the file stored them, uncalculated
};

// The outcome's word in a report: "searched", "stopped", or the read
// failure's own word ("encrypted", "damaged", "not a workbook", ...).
QString fileOutcomeName(const SourceFileReport &file);

struct FailedSave {
    QString path;
    QString error;   // the writer's own words
    QString reason;  // what the status line says in brackets after the path
};

struct JobResult {
    enum class Outcome { Finished, Error };
    Outcome outcome = Outcome::Finished;
    QString errorReason;          // the status text that told the user, when outcome is Error
    long long filesSearched = 0;  // in the last pass
    long long rowsExtracted = 0;
    QList<SourceFileReport> files;  // every source workbook, in the order walked
    QList<FailedSave> failedSaves;
    QString summary;                // the last pass's summary line (its rows count the whole job)
    QStringList csvResults;         // results saved as CSV because of the row limit
    bool stopped = false;           // the user stopped the job
    long long filesNotReached = 0;  // in the pass the stop ended
    int valuesNotSearched = 0;      // one workbook per value: the values whose pass never ran

    // Workbooks that could not be read (a stopped job's unreached ones aside).
    int filesNotSearched() const;
    // Marks the job as ended on an error; the first reason given is kept.
    void fail(const QString &reason);
};

}  // namespace engine
