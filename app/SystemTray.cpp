// SPDX-License-Identifier: Apache-2.0
#include "app/SystemTray.h"

#include "app/AppResources.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>

SystemTray::SystemTray(QObject *parent) : QSystemTrayIcon(parent), menu_(std::make_unique<QMenu>()) {
    showAction_ = new QAction(QString::fromUtf8("软件设置"), this);
    quitAction_ = new QAction(QString::fromUtf8("退出程序"), this);
    menu_->addAction(showAction_);
    menu_->addAction(quitAction_);
    setContextMenu(menu_.get());

    app::ensureResources();
    setIcon(QIcon(QString::fromLatin1(app::kIconResource)));
    setToolTip(QString::fromUtf8("筛行宝"));
    // Without a tray (some Linux desktops) the icon simply stays unseen;
    // the window remains the way back and its close ends the program.
    setVisible(true);

    connect(showAction_, SIGNAL(triggered()), this, SLOT(ShowUi()));
    connect(quitAction_, SIGNAL(triggered()), this, SLOT(UiQuit()));
}

SystemTray::~SystemTray() = default;

void SystemTray::UiQuit() { QCoreApplication::quit(); }

void SystemTray::ShowUi() { emit showWidget(); }
