// SPDX-License-Identifier: Apache-2.0
// Options and paths: loading the nine keys at construction, each control
// writing exactly its own key, the enable dependencies and the dialogs.
#include "AppTestSupport.h"

#include "app/MainWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegExp>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

template <typename T>
T *child(MainWindow &w, const char *name) {
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

struct ExpectedState {
    bool whole = false;
    int column = 1;
    bool oneColumn = false;
    bool oneBook = false;
    bool header = false;
    bool noData = false;
    bool noDataEnabled = false;
};

struct LoadCase {
    const char *name;
    const char *content;  // nullptr: no settings file
    ExpectedState state;
    // Expected file content after construction; nullptr: unchanged.
    const char *fileAfter;
};

const LoadCase kLoadCases[] = {
    {"missing file", nullptr, {}, nullptr},
    {"empty file", "", {}, nullptr},
    {"all set",
     "xlWhole=y\r\nFindOneColNum=12\r\nJustFindOneCol=y\r\nOneDateOneBook=y\r\ncBoxHExcelFile=y\r\nNoDataNoFile=y\r\n",
     {true, 12, true, true, true, true, true},
     nullptr},
    {"all clear",
     "xlWhole=n\r\nJustFindOneCol=n\r\nOneDateOneBook=n\r\ncBoxHExcelFile=n\r\nNoDataNoFile=n\r\n",
     {},
     nullptr},
    {"only the first byte counts", "xlWhole=yes\r\nJustFindOneCol=Y\r\n", {true}, nullptr},
    {"column above the limit is clamped and rewritten",
     "FindOneColNum=300\r\nOther=1\r\n",
     {false, 256},
     "FindOneColNum=256\r\nOther=1\r\n"},
    {"column 0 reads as 1 and is not rewritten", "FindOneColNum=0\r\n", {false, 1}, nullptr},
    {"column text that is no number reads as 1", "FindOneColNum=abc\r\n", {false, 1}, nullptr},
    {"no-file box checked but disabled without per-value books",
     "NoDataNoFile=y\r\nOneDateOneBook=n\r\n",
     {false, 1, false, false, false, true, false},
     nullptr},
};

class OptionsLoading : public ::testing::TestWithParam<LoadCase> {
protected:
    void SetUp() override { apptest::application(); }
};

TEST_P(OptionsLoading, ControlsTakeTheStoredStates) {
    const LoadCase &c = GetParam();
    apptest::SettingsFixture settings(c.content);
    MainWindow window;

    const ExpectedState &e = c.state;
    EXPECT_EQ(child<QRadioButton>(window, "rBtn_xlWhole")->isChecked(), e.whole);
    EXPECT_EQ(child<QRadioButton>(window, "rBtn_xlPath")->isChecked(), !e.whole);
    EXPECT_EQ(child<QSpinBox>(window, "sBox_JustFindOneCol")->value(), e.column);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_JustFindOneCol")->isChecked(), e.oneColumn);
    EXPECT_EQ(child<QSpinBox>(window, "sBox_JustFindOneCol")->isEnabled(), e.oneColumn);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_JustDataCols")->isEnabled(), !e.oneColumn);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_OneDateOneBook")->isChecked(), e.oneBook);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_HeaderExcelFile")->isChecked(), e.header);
    EXPECT_EQ(child<QPushButton>(window, "pBtn_HeaderExcelFile")->isEnabled(), e.header);
    EXPECT_EQ(child<QLineEdit>(window, "lEdt_HeaderExcelFile")->isEnabled(), e.header);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_NoDataNoFile")->isChecked(), e.noData);
    EXPECT_EQ(child<QCheckBox>(window, "cBox_NoDataNoFile")->isEnabled(), e.noDataEnabled);
    // Never persisted: always start cleared.
    EXPECT_FALSE(child<QCheckBox>(window, "cBox_JustDataCols")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(window, "cBox_AppointedSheet")->isChecked());

    if (!c.content) {
        EXPECT_FALSE(QFile::exists(settings.path())) << "the settings file must never be created";
    } else {
        EXPECT_EQ(settings.bytes(), QByteArray(c.fileAfter ? c.fileAfter : c.content));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OptionsLoading, ::testing::ValuesIn(kLoadCases),
                         [](const ::testing::TestParamInfo<LoadCase> &caseInfo) {
                             return std::to_string(caseInfo.index);
                         });

TEST(OptionsLoadingPaths, StoredPathsFillTheFieldsInTheLocalCodePage) {
    apptest::application();
    const QString source = QString::fromUtf8("/数据/源/");
    QByteArray content = "SourcePath=" + source.toLocal8Bit() +
                         "\r\nSavePath=/out/\r\n"
                         "HeaderExcelFile=/tpl/head.xlsx\r\n";
    apptest::SettingsFixture settings(content.constData());
    MainWindow window;
    EXPECT_EQ(child<QLineEdit>(window, "lEdt_SourcePath")->text(), QString::fromLocal8Bit(source.toLocal8Bit()));
    EXPECT_EQ(child<QLineEdit>(window, "lEdt_SavePath")->text(), QStringLiteral("/out/"));
    EXPECT_EQ(child<QLineEdit>(window, "lEdt_HeaderExcelFile")->text(), QStringLiteral("/tpl/head.xlsx"));
    // The header path is shown but stays disabled until its box is on.
    EXPECT_FALSE(child<QLineEdit>(window, "lEdt_HeaderExcelFile")->isEnabled());
}

// Every user action writes its one key and leaves every other line alone.
struct WriteCase {
    const char *name;
    const char *baseline;  // the settings file before the action
    std::function<void(MainWindow &)> act;
    const char *key;  // nullptr: nothing may be written
    const char *value;
};

const char kBaseline[] =
    "Other=keep\r\nxlWhole=y\r\nFindOneColNum=7\r\nJustFindOneCol=n\r\nOneDateOneBook=y\r\n"
    "cBoxHExcelFile=n\r\nNoDataNoFile=n\r\n";
const char kFlipped[] =
    "Other=keep\r\nxlWhole=n\r\nFindOneColNum=7\r\nJustFindOneCol=y\r\nOneDateOneBook=n\r\n"
    "cBoxHExcelFile=y\r\nNoDataNoFile=y\r\n";

class OptionWrites : public ::testing::Test {
protected:
    void SetUp() override { apptest::application(); }
};

TEST_F(OptionWrites, EachControlWritesExactlyItsKey) {
    auto click = [](const char *name) { return [name](MainWindow &w) { child<QAbstractButton>(w, name)->click(); }; };
    const WriteCase cases[] = {
        {"partial radio", kBaseline, click("rBtn_xlPath"), "xlWhole", "n"},
        {"whole radio", kFlipped, click("rBtn_xlWhole"), "xlWhole", "y"},
        {"one column on", kBaseline, click("cBox_JustFindOneCol"), "JustFindOneCol", "y"},
        {"one column off", kFlipped, click("cBox_JustFindOneCol"), "JustFindOneCol", "n"},
        {"one book per value off", kBaseline, click("cBox_OneDateOneBook"), "OneDateOneBook", "n"},
        {"one book per value on", kFlipped, click("cBox_OneDateOneBook"), "OneDateOneBook", "y"},
        {"header box on", kBaseline, click("cBox_HeaderExcelFile"), "cBoxHExcelFile", "y"},
        {"header box off", kFlipped, click("cBox_HeaderExcelFile"), "cBoxHExcelFile", "n"},
        {"no data no file on", kBaseline, click("cBox_NoDataNoFile"), "NoDataNoFile", "y"},
        {"spin step", kFlipped, [](MainWindow &w) { child<QSpinBox>(w, "sBox_JustFindOneCol")->stepUp(); },
         "FindOneColNum", "8"},
        {"named sheet box", kBaseline, click("cBox_AppointedSheet"), nullptr, nullptr},
        {"data columns box", kBaseline, click("cBox_JustDataCols"), nullptr, nullptr},
        {"paths typed by hand", kFlipped,
         [](MainWindow &w) {
             QTest::keyClicks(child<QLineEdit>(w, "lEdt_SourcePath"), QStringLiteral("/typed/"));
             QTest::keyClicks(child<QLineEdit>(w, "lEdt_SavePath"), QStringLiteral("/typed/"));
             QTest::keyClicks(child<QLineEdit>(w, "lEdt_HeaderExcelFile"), QStringLiteral("/typed.xlsx"));
             QTest::keyClicks(child<QLineEdit>(w, "lEdt_AppointedSheetName"), QStringLiteral("S"));
         },
         nullptr, nullptr},
    };
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.name);
        apptest::SettingsFixture settings(c.baseline);
        MainWindow window;
        QMap<QString, QString> expected = settings.keys();
        c.act(window);
        if (c.key) {
            ASSERT_NE(expected.value(QString::fromLatin1(c.key)), QString::fromLatin1(c.value))
                << "the case must change its key";
            expected[QString::fromLatin1(c.key)] = QString::fromLatin1(c.value);
        }
        EXPECT_EQ(settings.keys(), expected);
        // Replaced in place, never appended a second time.
        if (c.key) {
            EXPECT_EQ(settings.bytes().count(QByteArray(c.key) + "="), 1);
        }
    }
}

TEST_F(OptionWrites, SpinBoxWritesOncePerStep) {
    apptest::SettingsFixture settings("FindOneColNum=1\r\nJustFindOneCol=y\r\n");
    MainWindow window;
    auto *spin = child<QSpinBox>(window, "sBox_JustFindOneCol");
    ASSERT_TRUE(spin->isEnabled());
    QSignalSpy changes(spin, SIGNAL(valueChanged(QString)));
    for (int step = 2; step <= 4; ++step) {
        QTest::keyClick(spin, Qt::Key_Up);
        EXPECT_EQ(changes.count(), step - 1);
        EXPECT_EQ(settings.bytes(),
                  QByteArray("FindOneColNum=") + QByteArray::number(step) + "\r\nJustFindOneCol=y\r\n");
    }
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(settings.keys().value(QStringLiteral("FindOneColNum")), QStringLiteral("3"));
}

TEST_F(OptionWrites, ChangesWithoutASettingsFileStayInTheWindow) {
    apptest::SettingsFixture settings(nullptr);
    MainWindow window;
    child<QRadioButton>(window, "rBtn_xlWhole")->click();
    child<QCheckBox>(window, "cBox_OneDateOneBook")->click();
    EXPECT_TRUE(child<QRadioButton>(window, "rBtn_xlWhole")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(window, "cBox_NoDataNoFile")->isEnabled());
    EXPECT_FALSE(QFile::exists(settings.path()));
}

TEST(OptionDependencies, OneColumnTakesOverFromDataColumns) {
    apptest::application();
    apptest::SettingsFixture settings("");
    MainWindow window;
    auto *oneCol = child<QCheckBox>(window, "cBox_JustFindOneCol");
    auto *dataCols = child<QCheckBox>(window, "cBox_JustDataCols");
    auto *spin = child<QSpinBox>(window, "sBox_JustFindOneCol");

    dataCols->click();
    ASSERT_TRUE(dataCols->isChecked());
    oneCol->click();
    EXPECT_TRUE(spin->isEnabled());
    EXPECT_FALSE(dataCols->isEnabled());
    EXPECT_FALSE(dataCols->isChecked());

    oneCol->click();
    EXPECT_FALSE(spin->isEnabled());
    EXPECT_TRUE(dataCols->isEnabled());
    EXPECT_FALSE(dataCols->isChecked());
}

TEST(OptionDependencies, BoxesEnableTheirDependents) {
    apptest::application();
    apptest::SettingsFixture settings("");
    MainWindow window;
    struct Row {
        const char *box;
        std::vector<const char *> dependents;
    };
    const Row rows[] = {
        {"cBox_OneDateOneBook", {"cBox_NoDataNoFile"}},
        {"cBox_HeaderExcelFile", {"pBtn_HeaderExcelFile", "lEdt_HeaderExcelFile"}},
        {"cBox_AppointedSheet", {"lEdt_AppointedSheetName"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.box);
        auto *box = child<QCheckBox>(window, row.box);
        for (bool on : {true, false}) {
            box->click();
            ASSERT_EQ(box->isChecked(), on);
            for (const char *dependent : row.dependents)
                EXPECT_EQ(child<QWidget>(window, dependent)->isEnabled(), on) << dependent;
        }
    }
}

TEST(OptionDependencies, UncheckingPerValueLeavesNoFileCheckedButDisabled) {
    apptest::application();
    apptest::SettingsFixture settings("");
    MainWindow window;
    auto *perValue = child<QCheckBox>(window, "cBox_OneDateOneBook");
    auto *noFile = child<QCheckBox>(window, "cBox_NoDataNoFile");
    perValue->click();
    noFile->click();
    ASSERT_TRUE(noFile->isChecked());
    perValue->click();
    EXPECT_FALSE(noFile->isEnabled());
    EXPECT_TRUE(noFile->isChecked());
}

// The dialogs: captions, start folders, and what a choice or a cancel does.
class PathDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        settings_ = std::make_unique<apptest::SettingsFixture>("SourcePath=old\r\nSavePath=old\r\n");
        window_ = std::make_unique<MainWindow>();
        ASSERT_TRUE(chosen_.isValid());
    }
    std::unique_ptr<apptest::SettingsFixture> settings_;
    std::unique_ptr<MainWindow> window_;
    QTemporaryDir chosen_;
};

TEST_F(PathDialogs, ChosenFolderGetsASeparatorAndIsStored) {
    const struct {
        const char *button;
        const char *edit;
        const char *key;
    } rows[] = {
        {"pBtn_SourcePath", "lEdt_SourcePath", "SourcePath"},
        {"pBtn_SavePath", "lEdt_SavePath", "SavePath"},
    };
    const QString folder = QDir(chosen_.path()).canonicalPath();
    const QString expected = QDir::toNativeSeparators(folder + QLatin1Char('/'));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.button);
        QString title;
        QString startFolder;
        QWidget *parent = nullptr;
        QFileDialog::Options options;
        const bool seen = apptest::whileAnsweringModal(
            [&] { child<QPushButton>(*window_, row.button)->click(); },
            [&](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                if (!dialog) {
                    modal->close();
                    return;
                }
                title = dialog->windowTitle();
                startFolder = dialog->directory().absolutePath();
                parent = dialog->parentWidget();
                options = dialog->options();
                // Typed into the name field: independent of the model's loading.
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (name) name->setText(folder);
                static_cast<QDialog *>(dialog)->accept();
            });
        ASSERT_TRUE(seen);
        EXPECT_EQ(title, QString::fromUtf8("选择文件夹"));
        EXPECT_EQ(startFolder, QDir::current().absolutePath());
        EXPECT_EQ(parent, window_.get());
        EXPECT_TRUE(options.testFlag(QFileDialog::ShowDirsOnly));
        EXPECT_TRUE(options.testFlag(QFileDialog::DontResolveSymlinks));
        EXPECT_EQ(child<QLineEdit>(*window_, row.edit)->text(), expected);
        EXPECT_EQ(settings_->keys().value(QString::fromLatin1(row.key)), expected);
    }
}

TEST_F(PathDialogs, CancelledFolderDialogChangesNothing) {
    const QByteArray before = settings_->bytes();
    child<QLineEdit>(*window_, "lEdt_SourcePath")->setText(QStringLiteral("typed"));
    const bool seen = apptest::whileAnsweringModal([&] { child<QPushButton>(*window_, "pBtn_SourcePath")->click(); },
                                                   [](QWidget *modal) { modal->close(); });
    ASSERT_TRUE(seen);
    EXPECT_EQ(child<QLineEdit>(*window_, "lEdt_SourcePath")->text(), QStringLiteral("typed"));
    EXPECT_EQ(settings_->bytes(), before);
}

TEST_F(PathDialogs, HeaderWorkbookIsStoredAsChosen) {
    child<QCheckBox>(*window_, "cBox_HeaderExcelFile")->click();
    const QString folder = QDir(chosen_.path()).canonicalPath();
    const QString workbook = folder + QStringLiteral("/head.xlsx");
    {
        QFile f(workbook);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QString title;
    QStringList filters;
    bool hasParent = true;
    const bool seen =
        apptest::whileAnsweringModal([&] { child<QPushButton>(*window_, "pBtn_HeaderExcelFile")->click(); },
                                     [&](QWidget *modal) {
                                         auto *dialog = qobject_cast<QFileDialog *>(modal);
                                         if (!dialog) {
                                             modal->close();
                                             return;
                                         }
                                         title = dialog->windowTitle();
                                         filters = dialog->nameFilters();
                                         hasParent = dialog->parentWidget() != nullptr;
                                         auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                                         if (name) name->setText(workbook);
                                         static_cast<QDialog *>(dialog)->accept();
                                     });
    ASSERT_TRUE(seen);
    EXPECT_EQ(title, QString::fromUtf8("选择Excel文件"));
    EXPECT_FALSE(hasParent);
    // Each workbook extension has to be matched by the dialog's filter.
    ASSERT_EQ(filters.size(), 1);
    for (const char *name : {"a.xls", "a.xlsx", "a.xlsm"}) {
        bool matched = false;
        for (const QString &pattern : filters.first().split(QLatin1Char(' ')))
            matched |= QRegExp(pattern, Qt::CaseInsensitive, QRegExp::Wildcard).exactMatch(QLatin1String(name));
        EXPECT_TRUE(matched) << name;
    }
    EXPECT_EQ(child<QLineEdit>(*window_, "lEdt_HeaderExcelFile")->text(), workbook);
    EXPECT_EQ(settings_->keys().value(QStringLiteral("HeaderExcelFile")), workbook);
}

}  // namespace
