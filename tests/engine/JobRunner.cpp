// SPDX-License-Identifier: Apache-2.0
#include "engine/JobRunner.h"

#include "engine/MergeObject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

JobRun runJob(const engine::OptionSet &options) {
    engine::optionSet() = options;
    JobRun run;
    MergeObject worker(QStringLiteral("tem"));
    QObject::connect(&worker, &MergeObject::ShowDisposingFile, [&run](const QString &text) {
        run.texts << text;
        run.endedLast = false;
    });
    QObject::connect(&worker, &MergeObject::Signal_SetButtonEnable, [&run] {
        ++run.endSignals;
        run.endedLast = true;
    });
    worker.ExcelFilter();
    return run;
}

bool touchFile(const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList summariesOf(const JobRun &run) {
    QStringList out;
    for (const QString &text : run.texts) {
        if (text.startsWith(QStringLiteral("查找"))) out << text;
    }
    return out;
}
