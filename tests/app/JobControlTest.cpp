// SPDX-License-Identifier: Apache-2.0
// The start button: the folder test with its message, the option set taken
// from the controls, a fresh worker thread per job, status line and end signal.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "automation/Automation.h"
#include "engine/OptionSet.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <memory>
#include <stdexcept>

namespace {

template <typename T>
T *child(MainWindow &w, const char *name) {
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

constexpr int kJobTimeoutMs = 60000;

struct MessageSeen {
    bool shown = false;
    QString title;
    QString text;
};

// Presses the start button and answers a message box if one comes up.
MessageSeen pressStart(MainWindow &window) {
    MessageSeen seen;
    seen.shown = apptest::whileAnsweringModal([&] { child<QPushButton>(window, "pBtn_ExcelFilter")->click(); },
                                              [&](QWidget *modal) {
                                                  if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                                                      seen.title = box->windowTitle();
                                                      seen.text = box->text();
                                                  }
                                                  modal->close();
                                              });
    return seen;
}

class StartButton : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        ASSERT_TRUE(source_.isValid());
        ASSERT_TRUE(save_.isValid());
        settings_ = std::make_unique<apptest::SettingsFixture>("");
        window_ = std::make_unique<MainWindow>();
    }
    void TearDown() override {
        // A job left running would outlive the window's temporary folders.
        if (window_ && window_->isJobRunning())
            apptest::waitFor([&] { return !window_->isJobRunning(); }, kJobTimeoutMs);
    }
    void setFolders(const QString &source, const QString &save) {
        child<QLineEdit>(*window_, "lEdt_SourcePath")->setText(source);
        child<QLineEdit>(*window_, "lEdt_SavePath")->setText(save);
    }
    bool waitForEnd() {
        return apptest::waitFor([&] { return child<QPushButton>(*window_, "pBtn_ExcelFilter")->isEnabled(); },
                                kJobTimeoutMs);
    }

    QTemporaryDir source_;
    QTemporaryDir save_;
    std::unique_ptr<apptest::SettingsFixture> settings_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(StartButton, BadFoldersShowTheMessageAndLeaveTheButtonEnabled) {
    QFile plainFile(source_.filePath(QStringLiteral("file.txt")));
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    const QString missing = source_.filePath(QStringLiteral("missing"));
    const struct {
        const char *name;
        QString source;
        QString save;
    } rows[] = {
        {"both empty", QString(), QString()},
        {"source empty", QString(), save_.path()},
        {"save empty", source_.path(), QString()},
        {"source missing", missing, save_.path()},
        {"save is a file", source_.path(), plainFile.fileName()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        auto *status = child<QLabel>(*window_, "lb_ShowDisposing");
        status->setText(QStringLiteral("before"));
        setFolders(row.source, row.save);
        const MessageSeen seen = pressStart(*window_);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.title, QStringLiteral("Message:"));
        EXPECT_EQ(seen.text, QString::fromUtf8("被提取文件夹或保存文件夹路径不正确,请选择正确路径!"));
        EXPECT_TRUE(child<QPushButton>(*window_, "pBtn_ExcelFilter")->isEnabled());
        EXPECT_FALSE(window_->isJobRunning());
        EXPECT_EQ(status->text(), QStringLiteral("before"));
        // The two folders are taken before the test, whatever its outcome.
        EXPECT_EQ(engine::optionSet().sourcePath, QDir::toNativeSeparators(row.source));
        EXPECT_EQ(engine::optionSet().savePath, QDir::toNativeSeparators(row.save));
    }
}

TEST_F(StartButton, ControlsAreCopiedIntoTheOptionSet) {
    engine::OptionSet &options = engine::optionSet();
    options = engine::OptionSet();
    // Typed by hand with forward slashes: accepted and passed on natively.
    setFolders(source_.path() + QStringLiteral("/"), save_.path() + QStringLiteral("/"));
    child<QPlainTextEdit>(*window_, "pTEdt_FindText")->setPlainText(QStringLiteral("\n\n  apple\n\npear \n\n"));
    child<QRadioButton>(*window_, "rBtn_xlWhole")->click();
    child<QCheckBox>(*window_, "cBox_JustFindOneCol")->click();
    child<QSpinBox>(*window_, "sBox_JustFindOneCol")->setValue(5);
    child<QCheckBox>(*window_, "cBox_HeaderExcelFile")->click();
    child<QLineEdit>(*window_, "lEdt_HeaderExcelFile")->setText(QStringLiteral("/tpl/head.xlsx"));
    child<QCheckBox>(*window_, "cBox_OneDateOneBook")->click();
    child<QCheckBox>(*window_, "cBox_NoDataNoFile")->click();
    child<QCheckBox>(*window_, "cBox_AppointedSheet")->click();
    child<QLineEdit>(*window_, "lEdt_AppointedSheetName")->setText(QStringLiteral("Sheet1 "));

    EXPECT_FALSE(pressStart(*window_).shown);
    EXPECT_EQ(options.sourcePath, QDir::toNativeSeparators(source_.path() + QStringLiteral("/")));
    EXPECT_EQ(options.savePath, QDir::toNativeSeparators(save_.path() + QStringLiteral("/")));
    EXPECT_EQ(options.findText, QStringLiteral("apple\n\npear"));
    EXPECT_TRUE(options.wholeCellMatch);
    EXPECT_TRUE(options.oneColumnOnly);
    EXPECT_EQ(options.columnNumber, 5);
    EXPECT_TRUE(options.useHeaderWorkbook);
    EXPECT_EQ(options.headerWorkbookPath, QDir::toNativeSeparators(QStringLiteral("/tpl/head.xlsx")));
    EXPECT_TRUE(options.oneBookPerValue);
    EXPECT_TRUE(options.noFileWhenNoData);
    EXPECT_FALSE(options.dataColumnOnly);
    EXPECT_TRUE(options.namedSheetOnly);
    EXPECT_EQ(options.sheetName, QStringLiteral("Sheet1 "));
    ASSERT_TRUE(waitForEnd());

    // Options switched off keep the values of the earlier start.
    child<QCheckBox>(*window_, "cBox_JustFindOneCol")->click();
    child<QCheckBox>(*window_, "cBox_HeaderExcelFile")->click();
    child<QCheckBox>(*window_, "cBox_AppointedSheet")->click();
    child<QCheckBox>(*window_, "cBox_OneDateOneBook")->click();  // no-file box stays checked, disabled
    child<QCheckBox>(*window_, "cBox_JustDataCols")->click();
    EXPECT_FALSE(pressStart(*window_).shown);
    EXPECT_FALSE(options.oneColumnOnly);
    EXPECT_EQ(options.columnNumber, 5);
    EXPECT_FALSE(options.useHeaderWorkbook);
    EXPECT_EQ(options.headerWorkbookPath, QDir::toNativeSeparators(QStringLiteral("/tpl/head.xlsx")));
    EXPECT_FALSE(options.namedSheetOnly);
    EXPECT_EQ(options.sheetName, QStringLiteral("Sheet1 "));
    EXPECT_FALSE(options.oneBookPerValue);
    EXPECT_TRUE(options.noFileWhenNoData);
    EXPECT_TRUE(options.dataColumnOnly);
    ASSERT_TRUE(waitForEnd());
}

TEST_F(StartButton, StatusLineShowsTheLatestText) {
    auto *status = child<QLabel>(*window_, "lb_ShowDisposing");
    for (const char *text : {"excel OK!", "WorkBooks OK!", "/a/b.xlsx"}) {
        ASSERT_TRUE(QMetaObject::invokeMethod(window_.get(), "on_ShowDisposingFile",
                                              Q_ARG(QString, QString::fromLatin1(text))));
        EXPECT_EQ(status->text(), QString::fromLatin1(text));
    }
}

// Every non-empty row of the first sheet, cells joined by '|'.
QStringList readRows(const QString &path) {
    QStringList rows;
    auto application = automation::createApplication(QStringLiteral("Excel.Application"));
    if (!application || !application->workbooks()) return rows;
    auto book = application->workbooks()->open(path);
    if (!book) return rows;
    auto sheet = book->sheets() ? book->sheets()->item(1) : nullptr;
    auto used = sheet ? sheet->usedRange() : nullptr;
    if (used) {
        for (long long r = used->row(); r < used->row() + used->rowCount(); ++r) {
            QStringList cells;
            for (long long c = 1; c < used->column() + used->columnCount(); ++c) {
                auto cell = sheet->cells(int(r), int(c));
                cells << (cell ? cell->value() : QString());
            }
            const QString row = cells.join(QLatin1Char('|'));
            if (!QString(row).remove(QLatin1Char('|')).isEmpty()) rows << row;
        }
    }
    book->close(false);
    application->quit();
    return rows;
}

TEST_F(StartButton, JobsRunEndToEndInFreshThreads) {
    ASSERT_TRUE(apptest::writeWorkbook(source_.filePath(QStringLiteral("a.xlsx")),
                                       {{"name", "fruit"}, {"ann", "apple"}, {"bob", "pear"}, {"cid", "apple"}}));
    QDir(source_.path()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(
        apptest::writeWorkbook(source_.filePath(QStringLiteral("sub/b.xlsx")), {{"dan", "plum"}, {"eve", "apple"}}));

    setFolders(source_.path() + QStringLiteral("/"), save_.path() + QStringLiteral("/"));
    child<QPlainTextEdit>(*window_, "pTEdt_FindText")->setPlainText(QStringLiteral("apple\n"));
    child<QRadioButton>(*window_, "rBtn_xlWhole")->click();
    auto *button = child<QPushButton>(*window_, "pBtn_ExcelFilter");
    auto *status = child<QLabel>(*window_, "lb_ShowDisposing");

    EXPECT_FALSE(pressStart(*window_).shown);
    EXPECT_FALSE(button->isEnabled()) << "disabled in the same step that starts the job";
    EXPECT_TRUE(window_->isJobRunning());
    QPointer<QThread> firstThread = window_->workerThread();
    QPointer<QObject> firstWorker = window_->worker();
    ASSERT_FALSE(firstThread.isNull());
    ASSERT_FALSE(firstWorker.isNull());
    EXPECT_EQ(firstWorker->thread(), firstThread.data());
    EXPECT_NE(firstThread.data(), QThread::currentThread());
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(window_->isJobRunning());

    const QString result = save_.filePath(QStringLiteral("apple.xlsx"));
    ASSERT_TRUE(QFile::exists(result)) << result.toStdString();
    QStringList rows = readRows(result);
    rows.sort();
    EXPECT_EQ(rows,
              (QStringList{QStringLiteral("ann|apple"), QStringLiteral("cid|apple"), QStringLiteral("eve|apple")}));
    EXPECT_TRUE(status->text().startsWith(QString::fromUtf8("查找2个Excel文件,提取3条数据,耗时")))
        << status->text().toStdString();

    // The idle pair of the first job stays until the next start, which ends
    // the old thread before its worker is deleted.
    EXPECT_TRUE(firstThread->isRunning());
    bool threadEndedBeforeWorkerWent = false;
    QObject::connect(firstWorker.data(), &QObject::destroyed,
                     [&] { threadEndedBeforeWorkerWent = !firstThread.isNull() && firstThread->isFinished(); });

    child<QPlainTextEdit>(*window_, "pTEdt_FindText")->setPlainText(QStringLiteral("pear\nplum"));
    EXPECT_FALSE(pressStart(*window_).shown);
    EXPECT_TRUE(firstThread.isNull());
    EXPECT_TRUE(firstWorker.isNull());
    EXPECT_TRUE(threadEndedBeforeWorkerWent);
    QThread *secondThread = window_->workerThread();
    ASSERT_NE(secondThread, nullptr);
    EXPECT_EQ(window_->worker()->thread(), secondThread);
    ASSERT_TRUE(waitForEnd());

    QStringList both = readRows(save_.filePath(QStringLiteral("RowBasket.xlsx")));
    both.sort();
    EXPECT_EQ(both, (QStringList{QStringLiteral("bob|pear"), QStringLiteral("dan|plum")}));
    EXPECT_TRUE(status->text().startsWith(QString::fromUtf8("查找2个Excel文件,提取2条数据,耗时")))
        << status->text().toStdString();
    EXPECT_TRUE(button->isEnabled());
}

}  // namespace

namespace {

TEST_F(StartButton, DestinationTypedWithoutSeparatorGetsTheResultInside) {
    ASSERT_TRUE(
        apptest::writeWorkbook(source_.filePath(QStringLiteral("a.xlsx")), {{"ann", "apple"}, {"bob", "pear"}}));
    // Typed by hand: neither folder ends with a separator.
    setFolders(source_.path(), save_.path());
    child<QPlainTextEdit>(*window_, "pTEdt_FindText")->setPlainText(QStringLiteral("apple"));
    EXPECT_FALSE(pressStart(*window_).shown);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(readRows(save_.filePath(QStringLiteral("apple.xlsx"))), QStringList{QStringLiteral("ann|apple")});
    EXPECT_FALSE(QFile::exists(save_.path() + QStringLiteral("apple.xlsx")));
}

// A backend whose workbooks collection throws, as none should.
class ThrowingApplication : public automation::Application {
public:
    void setVisible(const QString &) override {}
    void setDisplayAlerts(bool) override {}
    automation::Workbooks *workbooks() override { throw std::runtime_error("broken backend"); }
    std::unique_ptr<automation::Workbook> activeWorkbook() override { return nullptr; }
    void quit() override {}
};

TEST_F(StartButton, AnInterruptedJobIsShownAndGivesTheButtonBack) {
    automation::setApplicationFactory([](const QString &) { return std::make_unique<ThrowingApplication>(); });
    setFolders(source_.path(), save_.path());
    child<QPlainTextEdit>(*window_, "pTEdt_FindText")->setPlainText(QStringLiteral("apple"));
    EXPECT_FALSE(pressStart(*window_).shown);
    const bool ended = waitForEnd();
    automation::setApplicationFactory(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(child<QLabel>(*window_, "lb_ShowDisposing")->text(), QString::fromUtf8("提取中断:broken backend"));
    EXPECT_FALSE(window_->isJobRunning());
}

}  // namespace
