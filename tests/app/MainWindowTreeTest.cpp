// SPDX-License-Identifier: Apache-2.0
// The window as built: every named widget with its type, text and initial
// state, the limits, the layout proportions, title, size and placement.
#include "AppTestSupport.h"

#include "app/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>

namespace {

enum class Check { None, Unchecked, Checked };

struct WidgetRow {
    const char *name;
    const char *className;
    const char *text;  // nullptr: not compared
    bool enabled;
    Check check;
};

// Built with an empty settings file, so partial matching is selected.
const WidgetRow kWidgets[] = {
    {"centralWidget", "QWidget", nullptr, true, Check::None},
    {"tabWidget", "QTabWidget", nullptr, true, Check::None},
    {"wgt_AddToTab1", "QWidget", nullptr, true, Check::None},
    {"groupBox_2", "QGroupBox", "将需查找提取的各类数据一行行填写在编辑框(如只提取一类数据,则只填一行)", true,
     Check::None},
    {"widget_4", "QWidget", nullptr, true, Check::None},
    {"pTEdt_FindText", "QPlainTextEdit", "", true, Check::None},
    {"widget_3", "QWidget", nullptr, true, Check::None},
    {"groupBox", "QGroupBox", "提取前参数设置", true, Check::None},
    {"widget_2", "QWidget", nullptr, true, Check::None},
    {"rBtn_xlWhole", "QRadioButton", "单元格内容全匹配", true, Check::Unchecked},
    {"rBtn_xlPath", "QRadioButton", "部分匹配", true, Check::Checked},
    {"cBox_AppointedSheet", "QCheckBox", "只查找指定名称Sheet:", true, Check::Unchecked},
    {"lEdt_AppointedSheetName", "QLineEdit", "", false, Check::None},
    {"label_2", "QLabel", "", true, Check::None},
    {"cBox_JustFindOneCol", "QCheckBox", "查找指定列:", true, Check::Unchecked},
    {"sBox_JustFindOneCol", "QSpinBox", "1", false, Check::None},
    {"widget_6", "QWidget", nullptr, true, Check::None},
    {"cBox_JustDataCols", "QCheckBox", "只提取数据列(非整行)", true, Check::Unchecked},
    {"cBox_OneDateOneBook", "QCheckBox", "一类数据保存到一个excel文件", true, Check::Unchecked},
    {"cBox_NoDataNoFile", "QCheckBox", "无数据时不创建excel文件", false, Check::Unchecked},
    {"groupBox_3", "QGroupBox", "提取数据使用指定表头(可配合[一类数据保存到一个文件]选项,用于工资表制作)", true,
     Check::None},
    {"cBox_HeaderExcelFile", "QCheckBox", "指定表头", true, Check::Unchecked},
    {"pBtn_HeaderExcelFile", "QPushButton", "选择已设置好表头的Excel文件：", false, Check::None},
    {"lEdt_HeaderExcelFile", "QLineEdit", "", false, Check::None},
    {"widget_5", "QWidget", nullptr, true, Check::None},
    {"pBtn_SourcePath", "QPushButton", "被提取文件所在文件夹路径：", true, Check::None},
    {"lEdt_SourcePath", "QLineEdit", "", true, Check::None},
    {"pBtn_SavePath", "QPushButton", "提取后保存到该文件夹路径：", true, Check::None},
    {"lEdt_SavePath", "QLineEdit", "", true, Check::None},
    {"pBtn_ExcelFilter", "QPushButton", "提取", true, Check::None},
    {"label", "QLabel", nullptr, true, Check::None},
    {"lb_ShowDisposing", "QLabel", "【操作前请关闭所有excel文件,支持微软Office2010及以上或WPS专业版】", true,
     Check::None},
};

QString textOf(QWidget *w) {
    if (auto *b = qobject_cast<QAbstractButton *>(w)) return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w)) return e->text();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w)) return p->toPlainText();
    if (auto *l = qobject_cast<QLabel *>(w)) return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w)) return g->title();
    if (auto *s = qobject_cast<QSpinBox *>(w)) return s->text();
    return QString();
}

class MainWindowTree : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        settings_ = std::make_unique<apptest::SettingsFixture>("");
        window_ = std::make_unique<MainWindow>();
    }
    template <typename T>
    T *child(const char *name) {
        return window_->findChild<T *>(QString::fromLatin1(name));
    }

    std::unique_ptr<apptest::SettingsFixture> settings_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTree, EveryNamedWidgetHasItsTypeTextAndState) {
    for (const WidgetRow &row : kWidgets) {
        SCOPED_TRACE(row.name);
        QWidget *w = child<QWidget>(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), row.className);
        if (row.text) {
            EXPECT_EQ(textOf(w), QString::fromUtf8(row.text));
        }
        EXPECT_EQ(w->isEnabled(), row.enabled);
        if (row.check != Check::None) {
            auto *b = qobject_cast<QAbstractButton *>(w);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->isChecked(), row.check == Check::Checked);
        }
        EXPECT_TRUE(w->toolTip().isEmpty());
    }
}

TEST_F(MainWindowTree, WindowTitleIconSizeAndNoBars) {
    EXPECT_EQ(window_->objectName(), QStringLiteral("MainWindow"));
    EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("筛行宝3.0"));
    EXPECT_FALSE(window_->windowIcon().isNull());
    EXPECT_EQ(window_->size(), QSize(940, 480));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->centralWidget(), child<QWidget>("centralWidget"));
    EXPECT_EQ(window_->findChild<QMenuBar *>(), nullptr);
    EXPECT_EQ(window_->findChild<QToolBar *>(), nullptr);
    EXPECT_EQ(window_->findChild<QStatusBar *>(), nullptr);
}

TEST_F(MainWindowTree, OneTabPageThatIsCurrent) {
    auto *tabs = child<QTabWidget>("tabWidget");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->currentWidget(), child<QWidget>("wgt_AddToTab1"));
    EXPECT_EQ(tabs->tabText(0), QString::fromUtf8("软件设置"));
}

TEST_F(MainWindowTree, LimitsStyleSheetsAndNotice) {
    auto *spin = child<QSpinBox>("sBox_JustFindOneCol");
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 256);
    EXPECT_EQ(spin->minimumHeight(), 20);
    EXPECT_EQ(child<QWidget>("rBtn_xlWhole")->minimumHeight(), 20);
    EXPECT_EQ(child<QWidget>("cBox_JustFindOneCol")->minimumHeight(), 20);
    EXPECT_EQ(child<QWidget>("groupBox_2")->minimumHeight(), 220);
    EXPECT_EQ(child<QWidget>("widget_6")->minimumHeight(), 38);
    EXPECT_EQ(child<QWidget>("groupBox_3")->minimumHeight(), 60);
    EXPECT_EQ(child<QWidget>("pBtn_SourcePath")->minimumWidth(), 100);
    EXPECT_EQ(child<QWidget>("lb_ShowDisposing")->maximumHeight(), 25);

    EXPECT_EQ(child<QWidget>("widget_2")->styleSheet(), QStringLiteral("background:rgb(250, 255, 250)"));
    EXPECT_EQ(child<QWidget>("widget_6")->styleSheet(), QStringLiteral("background:rgb(250, 255, 250)"));
    EXPECT_EQ(child<QWidget>("lb_ShowDisposing")->styleSheet(), QStringLiteral("color: rgb(255, 0, 0);"));

    auto *notice = child<QLabel>("label");
    EXPECT_TRUE(notice->text().contains(QStringLiteral("#ff5500")));
    EXPECT_TRUE(notice->text().contains(
        QString::fromUtf8(" 操作前请关闭所有excel文件,需电脑装有微软office2010及以上办公软件或金山WPS专业版")));

    // The radio buttons exclude each other.
    auto *whole = child<QRadioButton>("rBtn_xlWhole");
    whole->setChecked(true);
    EXPECT_FALSE(child<QRadioButton>("rBtn_xlPath")->isChecked());
}

TEST_F(MainWindowTree, ValuesAndOptionsSplitOneToTwo) {
    auto *box = child<QGroupBox>("groupBox_2");
    auto *columns = qobject_cast<QHBoxLayout *>(box->layout());
    ASSERT_NE(columns, nullptr);
    ASSERT_EQ(columns->count(), 2);
    EXPECT_EQ(columns->itemAt(0)->widget(), child<QWidget>("widget_4"));
    EXPECT_EQ(columns->itemAt(1)->widget(), child<QWidget>("widget_3"));
    EXPECT_EQ(columns->stretch(0), 1);
    EXPECT_EQ(columns->stretch(1), 2);

    // The search values take all spare height of the page, not the status line.
    auto *page = child<QWidget>("wgt_AddToTab1");
    auto *rows = qobject_cast<QBoxLayout *>(page->layout());
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->count(), 3);
    EXPECT_EQ(rows->itemAt(0)->widget(), box);
    EXPECT_EQ(rows->itemAt(1)->widget(), child<QWidget>("lb_ShowDisposing"));
    EXPECT_GT(box->height(), child<QWidget>("lb_ShowDisposing")->height());
    // The progress row under the status line shows only while a job runs:
    // idle, it takes no room and the status line ends the page.
    EXPECT_EQ(rows->itemAt(2)->widget(), child<QWidget>("wgt_Progress"));
    EXPECT_TRUE(child<QWidget>("wgt_Progress")->isHidden());
    EXPECT_EQ(child<QWidget>("lb_ShowDisposing")->geometry().bottom(), page->contentsRect().bottom());
}

TEST_F(MainWindowTree, AutorunStartLeavesTheWindowForStartUpToShow) {
    apptest::SettingsFixture quiet("");
    apptest::setStartupState(quiet.path(), "-autorun");
    MainWindow hidden;
    EXPECT_FALSE(hidden.isVisible());
    apptest::setStartupState(quiet.path(), "-autorunx");
    MainWindow shown;
    EXPECT_TRUE(shown.isVisible());
}

struct PlacementRow {
    QSize screen;
    QSize window;
    QPoint origin;
};

TEST(WindowPlacement, CentredAcrossAndAThirdDown) {
    const PlacementRow rows[] = {
        {{1920, 1080}, {940, 580}, {490, 166}},
        {{1366, 768}, {940, 580}, {213, 62}},
        // Smaller than the window: negative, truncated toward zero.
        {{800, 500}, {940, 580}, {-70, -26}},
        {{939, 579}, {940, 580}, {0, 0}},
    };
    for (const PlacementRow &row : rows) {
        SCOPED_TRACE(row.screen.width());
        EXPECT_EQ(windowOrigin(row.screen, row.window), row.origin);
    }
}

TEST_F(MainWindowTree, PlacedFromThePrimaryScreenAtTheFormHeight) {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(window_->pos(), windowOrigin(screen, QSize(940, 580)));
}

}  // namespace
