// SPDX-License-Identifier: Apache-2.0
// The worker: one call of ExcelFilter() runs one whole extraction job in the
// worker thread and reports through the two signals.
#pragma once

#include "engine/JobResult.h"
#include "engine/OptionSet.h"

#include <QObject>
#include <QString>
#include <atomic>

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

    // Asks the running job to end after the file in hand; the pass then ends
    // as usual, so what was found is saved. Safe from any thread.
    void requestStop() { stopRequested_.store(true, std::memory_order_relaxed); }

signals:
    // The job has ended, whatever the outcome; emitted exactly once per job.
    void Signal_SetButtonEnable();
    // One status text.
    void ShowDisposingFile(QString filePath);
    // Files done of the files listed in the current pass; with one workbook
    // per value also which value (1-based) of how many.
    void ShowProgress(int filesDone, int filesTotal, int valueNumber, int valueCount);

public slots:
    void ExcelFilter();

private:
    void runJob();  // everything of ExcelFilter() but the end signal
    void interrupt(const QString &reason);

    QString name_;
    engine::OptionSet options_;
    engine::JobResult result_;
    std::atomic<bool> stopRequested_{false};
};
