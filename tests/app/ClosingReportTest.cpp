// SPDX-License-Identifier: Apache-2.0
// What the window shows of a job's outcome: the status line ends on what
// matters most, a closing report appears when something needs attention (and
// only then), progress reaches its total, and the stop button ends a job
// with what was found so far saved.
#include "AppTestSupport.h"

#include "app/JobReportDialog.h"
#include "app/MainWindow.h"
#include "automation/Automation.h"
#include "engine/MergeObject.h"
#include "engine/RowLimit.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <memory>

namespace {

constexpr int kJobTimeoutMs = 120000;

void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class ClosingReport : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        automation::setApplicationFactory(nullptr);
        ASSERT_TRUE(source_.isValid());
        ASSERT_TRUE(save_.isValid());
        settings_ = std::make_unique<apptest::SettingsFixture>("");
        window_ = std::make_unique<MainWindow>();
        window_->findChild<QLineEdit *>("lEdt_SourcePath")->setText(source_.path());
        window_->findChild<QLineEdit *>("lEdt_SavePath")->setText(save_.path());
        window_->findChild<QPlainTextEdit *>("pTEdt_FindText")->setPlainText(QStringLiteral("apple"));
    }
    void TearDown() override {
        if (window_ && window_->isJobRunning())
            apptest::waitFor([&] { return !window_->isJobRunning(); }, kJobTimeoutMs);
        engine::setRowLimitForTesting(0);
    }

    QString src(const QString &name) const { return QDir::toNativeSeparators(source_.filePath(name)); }
    QString out(const QString &name) const { return QDir::toNativeSeparators(save_.filePath(name)); }
    QString status() const { return window_->findChild<QLabel *>("lb_ShowDisposing")->text(); }
    JobReportDialog *report() const { return window_->findChild<JobReportDialog *>(); }
    QString reportText(const char *name) const {
        JobReportDialog *dialog = report();
        if (!dialog) return QString();
        if (auto *label = dialog->findChild<QLabel *>(name)) return label->text();
        if (auto *edit = dialog->findChild<QPlainTextEdit *>(name)) return edit->toPlainText();
        return QString();
    }

    bool runJob() {
        window_->findChild<QPushButton *>("pBtn_ExcelFilter")->click();
        if (!window_->isJobRunning()) return false;
        return apptest::waitFor([&] { return !window_->isJobRunning(); }, kJobTimeoutMs);
    }

    QTemporaryDir source_;
    QTemporaryDir save_;
    std::unique_ptr<apptest::SettingsFixture> settings_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(ClosingReport, AFailedSaveAndUnreadableFilesAreReportedWithTheirReasons) {
    ASSERT_TRUE(apptest::writeWorkbook(source_.filePath("a.xlsx"), {{"ann", "apple"}, {"bob", "pear"}}));
    ASSERT_TRUE(apptest::writeWorkbook(source_.filePath("b.xlsx"), {{"cid", "apple"}}));
    writeBytes(source_.filePath("noise.xlsx"), QByteArray(3000, '\x5a'));
    writeBytes(source_.filePath("empty.xls"), QByteArray());
    // A folder holds the result's name: the save cannot happen, even as root.
    ASSERT_TRUE(QDir(save_.path()).mkdir("apple.xlsx"));

    ASSERT_TRUE(runJob());
    const QString failure = QString::fromUtf8("保存失败:") + out("apple.xlsx") + QString::fromUtf8("(已有同名文件夹)");
    EXPECT_EQ(status(), failure) << "the status line ends on the failed save";

    ASSERT_NE(report(), nullptr);
    EXPECT_TRUE(report()->isVisible());
    EXPECT_TRUE(reportText("lb_Summary").startsWith(QString::fromUtf8("查找2个Excel文件,提取2条数据,")));
    const QStringList attention = reportText("lb_Attention").split('\n');
    EXPECT_TRUE(attention.contains(QString::fromUtf8("2个文件无法读取,未被查找"))) << attention.join('|').toStdString();
    EXPECT_TRUE(attention.contains(failure)) << attention.join('|').toStdString();

    // Every skipped file with its reason, under the details, selectable.
    auto *details = report()->findChild<QPlainTextEdit *>("pTEdt_Details");
    ASSERT_NE(details, nullptr);
    EXPECT_FALSE(details->isVisible());
    report()->findChild<QPushButton *>("pBtn_Details")->click();
    EXPECT_TRUE(details->isVisible());
    EXPECT_TRUE(details->isReadOnly());
    EXPECT_TRUE(details->textInteractionFlags() & Qt::TextSelectableByMouse);
    const QStringList lines = details->toPlainText().split('\n');
    EXPECT_TRUE(lines.contains(QString::fromUtf8("无法读取(不是表格文件):") + src("noise.xlsx")))
        << details->toPlainText().toStdString();
    EXPECT_TRUE(lines.contains(QString::fromUtf8("无法读取(无法打开):") + src("empty.xls")) ||
                lines.contains(QString::fromUtf8("无法读取(文件已损坏):") + src("empty.xls")) ||
                lines.contains(QString::fromUtf8("无法读取(不是表格文件):") + src("empty.xls")))
        << details->toPlainText().toStdString();
    EXPECT_TRUE(lines.contains(failure));

    // The list saved from the report is the command line's --report, byte for byte.
    const QString windowCsv = save_.filePath("window-report.csv");
    ASSERT_TRUE(report()->saveListTo(windowCsv));
    const QString cliCsv = save_.filePath("cli-report.csv");
    QProcess cli;
    cli.start(QStringLiteral(ROWSIFTER_CLI_EXE),
              {"--source", source_.path(), "--dest", save_.path(), "--find", "apple", "--report", cliCsv});
    ASSERT_TRUE(cli.waitForFinished(kJobTimeoutMs));
    EXPECT_EQ(cli.exitCode(), 1) << "the save fails for the command line too";
    QFile a(windowCsv), b(cliCsv);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    const QByteArray windowBytes = a.readAll();
    EXPECT_EQ(windowBytes, b.readAll());
    EXPECT_TRUE(windowBytes.contains("not a workbook"));
    // And it prints the same failure text last.
    const QStringList cliTexts = QString::fromUtf8(cli.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(cliTexts.isEmpty());
    EXPECT_EQ(cliTexts.last(), failure);
}

TEST_F(ClosingReport, AResultPastTheRowLimitIsNamedAsCsv) {
    engine::setRowLimitForTesting(2);
    ASSERT_TRUE(
        apptest::writeWorkbook(source_.filePath("a.xlsx"), {{"ann", "apple"}, {"bob", "apple"}, {"cid", "apple"}}));
    ASSERT_TRUE(runJob());
    EXPECT_TRUE(QFile::exists(out("apple.csv")));
    ASSERT_NE(report(), nullptr);
    EXPECT_EQ(reportText("lb_Attention"), QString::fromUtf8("结果已保存为CSV:") + out("apple.csv"));
    EXPECT_FALSE(report()->findChild<QPushButton *>("pBtn_Details")->isEnabled()) << "nothing was skipped";
}

TEST_F(ClosingReport, FormulasThatCouldNotBeCalculatedAreCountedWithTheirFile) {
    const QByteArray name = QFile::encodeName(source_.filePath("calc.xlsx"));
    lxw_workbook *book = workbook_new(name.constData());
    ASSERT_NE(book, nullptr);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    worksheet_write_string(sheet, 0, 0, "apple", nullptr);
    worksheet_write_number(sheet, 0, 1, 2, nullptr);
    worksheet_write_formula(sheet, 0, 2, "=B1*3", nullptr);
    worksheet_write_formula(sheet, 0, 3, "=NOSUCHFUNCTION(B1)", nullptr);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    ASSERT_TRUE(runJob());
    ASSERT_NE(report(), nullptr) << "an uncalculated formula needs the user's attention";
    EXPECT_EQ(reportText("lb_Attention"), QString::fromUtf8("1个公式无法计算,按文件中存储的值查找"));
    EXPECT_EQ(reportText("pTEdt_Details"), QString::fromUtf8("1个公式无法计算:") + src("calc.xlsx"));
}

TEST_F(ClosingReport, AGoodJobShowsNoDialogAndItsProgressReachesTheTotal) {
    for (const char *name : {"a.xlsx", "b.xlsx", "c.xlsx"})
        ASSERT_TRUE(apptest::writeWorkbook(source_.filePath(name), {{"x", "apple"}}));
    auto *row = window_->findChild<QWidget *>("wgt_Progress");
    auto *bar = window_->findChild<QProgressBar *>("pBar_Progress");
    EXPECT_TRUE(row->isHidden());
    window_->findChild<QPushButton *>("pBtn_ExcelFilter")->click();
    EXPECT_FALSE(row->isHidden()) << "shown while the job runs";
    ASSERT_TRUE(apptest::waitFor([&] { return !window_->isJobRunning(); }, kJobTimeoutMs));
    EXPECT_TRUE(row->isHidden());
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->value(), 3);
    EXPECT_TRUE(status().startsWith(QString::fromUtf8("查找3个Excel文件,提取3条数据,")));
    EXPECT_EQ(report(), nullptr);
}

TEST_F(ClosingReport, TheStopButtonEndsTheJobAndKeepsWhatWasFound) {
    constexpr int kBooks = 300;
    for (int i = 0; i < kBooks; ++i)
        ASSERT_TRUE(
            apptest::writeWorkbook(source_.filePath(QStringLiteral("book_%1.xlsx").arg(i, 3, 10, QLatin1Char('0'))),
                                   {{"name", "fruit"}, {"ann", "apple"}, {"bob", "pear"}}));
    auto *bar = window_->findChild<QProgressBar *>("pBar_Progress");
    auto *stop = window_->findChild<QPushButton *>("pBtn_Stop");
    window_->findChild<QPushButton *>("pBtn_ExcelFilter")->click();
    auto *worker = qobject_cast<MergeObject *>(window_->worker());
    ASSERT_NE(worker, nullptr);
    // The button is pressed once the bar shows a file done; the worker waits
    // at that report until it has been, however busy the machine.
    bool pressed = false;
    QObject::connect(
        worker, &MergeObject::ShowProgress, window_.get(),
        [&](int done, int total, int, int) {
            if (pressed || done < 1 || done >= total) return;
            EXPECT_GE(bar->value(), 0);
            stop->click();
            EXPECT_FALSE(stop->isEnabled());
            pressed = true;
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(apptest::waitFor([&] { return !window_->isJobRunning(); }, kJobTimeoutMs));
    ASSERT_TRUE(pressed) << "the job ended before the stop could be pressed";

    // The status line and the report say how many files were not searched.
    const QRegularExpression stopped(QString::fromUtf8("^提取已停止,另有(\\d+)个文件未被查找。$"));
    const QRegularExpressionMatch match = stopped.match(status());
    ASSERT_TRUE(match.hasMatch()) << status().toStdString();
    const int notReached = match.captured(1).toInt();
    EXPECT_GT(notReached, 0);
    EXPECT_LT(notReached, kBooks);
    ASSERT_NE(report(), nullptr);
    EXPECT_TRUE(reportText("lb_Attention").contains(status().chopped(1))) << reportText("lb_Attention").toStdString();
    EXPECT_TRUE(reportText("pTEdt_Details").contains(QString::fromUtf8("未查找(已停止):")));

    // What was found before the stop is saved: one row for each file searched.
    const int searched = kBooks - notReached;
    auto application = automation::createApplication(QStringLiteral("Excel.Application"));
    auto book = application->workbooks()->open(out("apple.xlsx"));
    ASSERT_NE(book, nullptr);
    auto used = book->sheets()->item(1)->usedRange();
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->rowCount(), searched);
    book->close(false);
    application->quit();
}

}  // namespace
