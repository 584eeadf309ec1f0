// SPDX-License-Identifier: Apache-2.0
// The closing report of a job: the summary on top, what needs attention in
// plain words, the full list of files not searched under 显示详细信息
// (selectable, to copy), and a button that saves the list as the same CSV the
// command line writes for --report.
#pragma once

#include "app/ClosingReport.h"
#include "engine/JobResult.h"

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class JobReportDialog : public QDialog {
    Q_OBJECT
public:
    // `saveFolder` is where the save button first offers to put the list.
    JobReportDialog(const engine::JobResult &result, const QString &saveFolder, QWidget *parent = nullptr);

    // Writes the list to `path`; false, with a message box, when it cannot.
    bool saveListTo(const QString &path);

private:
    void toggleDetails();
    void saveList();

    engine::JobResult result_;
    QString saveFolder_;
    QPlainTextEdit *details_ = nullptr;
    QPushButton *detailsButton_ = nullptr;
};
