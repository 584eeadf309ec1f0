// SPDX-License-Identifier: Apache-2.0
// Lets a starting copy of the program hand over to the copy already running:
// the running copy listens on a local socket in the user's private runtime
// folder and, asked to, brings its window forward, so the starting copy can
// leave without ending a job.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The current user's socket: a full path in $XDG_RUNTIME_DIR, or in a
    // folder of mode 0700 made for it in the temporary folder. Empty when no
    // folder of the user's own can be had; the copy then runs on its own.
    static QString defaultServerName();

    // A name to ask or listen on: not empty, and nothing of another user's there.
    static bool isUsable(const QString &serverName);

    // Asks the copy listening on serverName to show its window. true when it
    // acknowledged within timeoutMs. Works before the application object exists.
    static bool askRunningCopyToShow(int timeoutMs, const QString &serverName = defaultServerName());

    // Starts answering requests; a name left behind by a copy that died is
    // taken over. false when the name is held by a live copy or is not usable.
    bool listen(const QString &serverName = defaultServerName());
    bool isListening() const;

signals:
    void showRequested();

private:
    void acceptConnections();
    void answer(QLocalSocket *socket);

    QLocalServer *server_ = nullptr;
};
