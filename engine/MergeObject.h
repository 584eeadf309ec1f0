// The worker: one call of ExcelFilter() runs one whole extraction job in the
// worker thread and reports through the two signals.
#pragma once

#include <QObject>
#include <QString>

class MergeObject : public QObject {
    Q_OBJECT
public:
    explicit MergeObject(const QString &name, QObject *parent = nullptr);

signals:
    // The job has ended, whatever the outcome; emitted exactly once per job.
    void Signal_SetButtonEnable();
    // One status text.
    void ShowDisposingFile(QString filePath);

public slots:
    void ExcelFilter();

private:
    void runJob();  // everything of ExcelFilter() but the end signal

    QString name_;
};
