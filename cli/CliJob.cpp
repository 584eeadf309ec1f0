#include "cli/CliJob.h"

#include "engine/JobText.h"
#include "engine/MergeObject.h"

#include <QEventLoop>
#include <QThread>

namespace cli {

int runJobInWorkerThread(const engine::OptionSet &options, const std::function<void(const QString &)> &onStatusText)
{
    engine::optionSet() = options;

    QThread thread;
    thread.start(QThread::InheritPriority);
    auto *worker = new MergeObject(QStringLiteral("tem"));
    worker->moveToThread(&thread);

    JobStarter starter;
    QEventLoop loop;
    bool failed = false;
    QObject::connect(worker, &MergeObject::ShowDisposingFile, &loop, [&](const QString &text) {
        if (engine::text::isErrorText(text))
            failed = true;
        onStatusText(text);
    });
    QObject::connect(&starter, &JobStarter::startJob, worker, &MergeObject::ExcelFilter);
    QObject::connect(worker, &MergeObject::Signal_SetButtonEnable, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    emit starter.startJob();
    loop.exec();

    // The worker goes only after its thread has finished.
    thread.quit();
    thread.wait();
    delete worker;
    return failed ? kJobFailed : kJobEnded;
}

}  // namespace cli
