// SPDX-License-Identifier: Apache-2.0
// Runs one job the way the window does: a fresh worker in a fresh thread,
// started by a signal, its status texts and end signal received queued.
#pragma once

#include "engine/JobResult.h"
#include "engine/OptionSet.h"

#include <QObject>
#include <QString>
#include <functional>

namespace cli {

enum ExitCode { kJobEnded = 0, kJobFailed = 1, kBadArguments = 2, kFilesNotSearched = 3 };

class JobStarter : public QObject {
    Q_OBJECT
signals:
    void startJob();
};

// Needs a QCoreApplication. Every status text reaches `onStatusText` in the
// calling thread, in order. Returns kJobEnded or kJobFailed, from the job's
// outcome; `result`, when given, receives all the job did.
int runJobInWorkerThread(const engine::OptionSet &options, const std::function<void(const QString &)> &onStatusText,
                         engine::JobResult *result = nullptr);

// The exit status for a job's result: kJobFailed when it ended on an error;
// with `strict`, kFilesNotSearched when it ran to its end but left files unsearched.
int exitStatusOf(const engine::JobResult &result, bool strict);

}  // namespace cli
