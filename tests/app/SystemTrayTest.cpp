// SPDX-License-Identifier: Apache-2.0
// The tray icon: its menu, tool tip and icon, bringing the window back at
// 940 x 480 from a click, a double-click or the menu, and quitting at once.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/SystemTray.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(SystemTray, MenuTipAndIcon) {
    apptest::application();
    QObject owner;
    auto *tray = new SystemTray(&owner);
    EXPECT_EQ(tray->parent(), &owner);
    ASSERT_NE(tray->contextMenu(), nullptr);
    const QList<QAction *> actions = tray->contextMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("软件设置"));
    EXPECT_EQ(actions[1]->text(), QString::fromUtf8("退出程序"));
    EXPECT_EQ(actions[0]->parent(), tray);
    EXPECT_EQ(actions[1]->parent(), tray);
    EXPECT_EQ(tray->toolTip(), QString::fromUtf8("筛行宝"));
    EXPECT_FALSE(tray->icon().isNull());
    EXPECT_TRUE(tray->isVisible());
}

TEST(SystemTray, IconHoldsEverySize) {
    apptest::application();
    QObject owner;
    auto *tray = new SystemTray(&owner);
    const QList<QSize> sizes = tray->icon().availableSizes();
    for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(256, 256)})
        EXPECT_TRUE(sizes.contains(size)) << size.width();
}

TEST(SystemTray, ShowEntryAsksForTheWindow) {
    apptest::application();
    QObject owner;
    auto *tray = new SystemTray(&owner);
    QSignalSpy shows(tray, SIGNAL(showWidget()));
    tray->showAction()->trigger();
    EXPECT_EQ(shows.count(), 1);
}

TEST(SystemTray, QuitEntryEndsTheEventLoopAtOnce) {
    QApplication *app = apptest::application();
    QObject owner;
    auto *tray = new SystemTray(&owner);
    constexpr int kNotQuit = 42;
    QTimer::singleShot(0, tray->quitAction(), &QAction::trigger);
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [app] { app->exit(kNotQuit); });
    fallback.start(10000);
    EXPECT_EQ(app->exec(), 0);
}

class TrayAndWindow : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        settings_ = std::make_unique<apptest::SettingsFixture>("");
        window_ = std::make_unique<MainWindow>();
        tray_ = window_->findChild<SystemTray *>();
        ASSERT_NE(tray_, nullptr);
    }
    std::unique_ptr<apptest::SettingsFixture> settings_;
    std::unique_ptr<MainWindow> window_;
    SystemTray *tray_ = nullptr;
};

TEST_F(TrayAndWindow, ClickDoubleClickAndMenuBringTheWindowBack) {
    const struct {
        const char *name;
        std::function<void(SystemTray *)> bringBack;
    } ways[] = {
        {"click", [](SystemTray *t) { emit t->activated(QSystemTrayIcon::Trigger); }},
        {"double-click", [](SystemTray *t) { emit t->activated(QSystemTrayIcon::DoubleClick); }},
        {"menu entry", [](SystemTray *t) { t->showAction()->trigger(); }},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.name);
        // Enlarged and moved by the user, then minimised.
        window_->move(30, 40);
        window_->resize(1200, 700);
        const QPoint where = window_->pos();
        window_->showMinimized();
        ASSERT_TRUE(window_->isMinimized());
        way.bringBack(tray_);
        EXPECT_FALSE(window_->isMinimized());
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(window_->size(), QSize(940, 480));
        EXPECT_EQ(window_->pos(), where);
    }
}

TEST_F(TrayAndWindow, OtherActivationsLeaveTheWindowAlone) {
    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        SCOPED_TRACE(int(reason));
        window_->resize(1200, 700);
        window_->showMinimized();
        emit tray_->activated(reason);
        EXPECT_TRUE(window_->isMinimized());
        EXPECT_EQ(window_->size(), QSize(1200, 700));
    }
}

TEST_F(TrayAndWindow, HiddenWindowComesBack) {
    window_->hide();
    emit tray_->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window_->isVisible());
}

}  // namespace
