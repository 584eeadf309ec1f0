// SPDX-License-Identifier: Apache-2.0
#include "cli/CliJob.h"

#include "engine/MergeObject.h"

#include <QEventLoop>
#include <QThread>

namespace cli {

int runJobInWorkerThread(const engine::OptionSet &options, const std::function<void(const QString &)> &onStatusText,
                         engine::JobResult *result) {
    QThread thread;
    thread.start(QThread::InheritPriority);
    auto *worker = new MergeObject(QStringLiteral("tem"));
    worker->setOptions(options);
    worker->moveToThread(&thread);

    JobStarter starter;
    QEventLoop loop;
    QObject::connect(worker, &MergeObject::ShowDisposingFile, &loop, [&](const QString &text) { onStatusText(text); });
    QObject::connect(&starter, &JobStarter::startJob, worker, &MergeObject::ExcelFilter);
    QObject::connect(worker, &MergeObject::Signal_SetButtonEnable, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    emit starter.startJob();
    loop.exec();

    // The worker goes only after its thread has finished.
    thread.quit();
    thread.wait();
    const engine::JobResult outcome = worker->result();
    delete worker;
    if (result) *result = outcome;
    return outcome.outcome == engine::JobResult::Outcome::Error ? kJobFailed : kJobEnded;
}

int exitStatusOf(const engine::JobResult &result, bool strict) {
    if (result.outcome == engine::JobResult::Outcome::Error) return kJobFailed;
    return strict && result.filesNotSearched() > 0 ? kFilesNotSearched : kJobEnded;
}

}  // namespace cli
