// SPDX-License-Identifier: Apache-2.0
// The tray icon: its menu brings the main window back or ends the program.
#pragma once

#include <QSystemTrayIcon>
#include <memory>

class QAction;
class QMenu;

class SystemTray : public QSystemTrayIcon {
    Q_OBJECT

public:
    explicit SystemTray(QObject *parent);
    ~SystemTray() override;

    QAction *showAction() const { return showAction_; }
    QAction *quitAction() const { return quitAction_; }

signals:
    void showWidget();

private slots:
    void UiQuit();
    void ShowUi();

private:
    // A parentless top-level widget: owned here so it goes with the icon.
    std::unique_ptr<QMenu> menu_;
    QAction *showAction_ = nullptr;
    QAction *quitAction_ = nullptr;
};
