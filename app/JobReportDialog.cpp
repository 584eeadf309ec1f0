// SPDX-License-Identifier: Apache-2.0
#include "app/JobReportDialog.h"

#include "engine/JobReport.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kShowDetails = "显示详细信息";
const char *const kHideDetails = "隐藏详细信息";
constexpr const char *kReportFileName = "RowSifter-report.csv";

}  // namespace

JobReportDialog::JobReportDialog(const engine::JobResult &result, const QString &saveFolder, QWidget *parent)
    : QDialog(parent), result_(result), saveFolder_(saveFolder) {
    setObjectName(QStringLiteral("dlg_JobReport"));
    setWindowTitle(QString::fromUtf8("提取结果"));
    const app::ClosingReport report = app::closingReportOf(result);

    auto *layout = new QVBoxLayout(this);
    if (!report.summary.isEmpty()) {
        auto *summary = new QLabel(report.summary, this);
        summary->setObjectName(QStringLiteral("lb_Summary"));
        summary->setWordWrap(true);
        summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(summary);
    }
    auto *attention = new QLabel(report.attention.join(QLatin1Char('\n')), this);
    attention->setObjectName(QStringLiteral("lb_Attention"));
    attention->setWordWrap(true);
    attention->setTextFormat(Qt::PlainText);
    attention->setTextInteractionFlags(Qt::TextSelectableByMouse);
    attention->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    layout->addWidget(attention);

    details_ = new QPlainTextEdit(this);
    details_->setObjectName(QStringLiteral("pTEdt_Details"));
    details_->setReadOnly(true);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);
    details_->setPlainText(report.details.join(QLatin1Char('\n')));
    details_->setMinimumHeight(160);
    details_->hide();
    layout->addWidget(details_);

    auto *buttons = new QDialogButtonBox(this);
    detailsButton_ = buttons->addButton(QString::fromUtf8(kShowDetails), QDialogButtonBox::ActionRole);
    detailsButton_->setObjectName(QStringLiteral("pBtn_Details"));
    detailsButton_->setEnabled(!report.details.isEmpty());
    QPushButton *save = buttons->addButton(QString::fromUtf8("保存清单…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("pBtn_SaveList"));
    QPushButton *close = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("pBtn_Close"));
    close->setDefault(true);
    layout->addWidget(buttons);

    connect(detailsButton_, &QPushButton::clicked, this, &JobReportDialog::toggleDetails);
    connect(save, &QPushButton::clicked, this, &JobReportDialog::saveList);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    setMinimumWidth(520);
}

void JobReportDialog::toggleDetails() {
    const bool show = !details_->isVisible();
    details_->setVisible(show);
    detailsButton_->setText(QString::fromUtf8(show ? kHideDetails : kShowDetails));
    adjustSize();
}

void JobReportDialog::saveList() {
    const QString suggested = QDir(saveFolder_).filePath(QString::fromLatin1(kReportFileName));
    const QString path =
        QFileDialog::getSaveFileName(this, QString::fromUtf8("保存清单"), suggested, QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty()) saveListTo(path);
}

bool JobReportDialog::saveListTo(const QString &path) {
    QString error;
    if (engine::writeJobReport(path, result_, &error)) return true;
    QMessageBox::warning(this, QString::fromUtf8("保存清单"), QString::fromUtf8("清单无法保存:") + error);
    return false;
}
