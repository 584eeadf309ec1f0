// The worker: one call of ExcelFilter() runs one whole extraction job in the
// worker thread and reports through the two signals.
#pragma once

#include "engine/JobResult.h"
#include "engine/OptionSet.h"

#include <QObject>
#include <QString>

class MergeObject : public QObject {
    Q_OBJECT
public:
    // Takes its own copy of the process-wide option set, in the thread that
    // makes the worker (the window's, just after it filled the set): the job
    // then reads nothing that the window can change while it runs.
    explicit MergeObject(const QString &name, QObject *parent = nullptr);

    // Replaces the options the next job runs with (before it starts).
    void setOptions(const engine::OptionSet &options) { options_ = options; }
    const engine::OptionSet &options() const { return options_; }

    // What the last job did; complete once Signal_SetButtonEnable() was emitted.
    const engine::JobResult &result() const { return result_; }

signals:
    // The job has ended, whatever the outcome; emitted exactly once per job.
    void Signal_SetButtonEnable();
    // One status text.
    void ShowDisposingFile(QString filePath);

public slots:
    void ExcelFilter();

private:
    void runJob();  // everything of ExcelFilter() but the end signal
    void interrupt(const QString &reason);

    QString name_;
    engine::OptionSet options_;
    engine::JobResult result_;
};
