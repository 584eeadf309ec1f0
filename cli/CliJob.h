// Runs one job the way the window does: a fresh worker in a fresh thread,
// started by a signal, its status texts and end signal received queued.
#pragma once

#include "engine/OptionSet.h"

#include <QObject>
#include <QString>
#include <functional>

namespace cli {

enum ExitCode { kJobEnded = 0, kJobFailed = 1, kBadArguments = 2 };

class JobStarter : public QObject {
    Q_OBJECT
signals:
    void startJob();
};

// Needs a QCoreApplication. Every status text reaches `onStatusText` in the
// calling thread, in order. Returns kJobEnded or kJobFailed.
int runJobInWorkerThread(const engine::OptionSet &options, const std::function<void(const QString &)> &onStatusText);

}  // namespace cli
