// Lets a starting copy of the program hand over to the copy already running:
// the running copy listens on a per-user local socket and, asked to, brings
// its window forward, so the starting copy can leave without ending a job.
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

    // The server name of the current user; other users' copies are not asked.
    static QString defaultServerName();

    // Asks the copy listening on serverName to show its window. true when it
    // acknowledged within timeoutMs. Works before the application object exists.
    static bool askRunningCopyToShow(int timeoutMs, const QString &serverName = defaultServerName());

    // Starts answering requests; a name left behind by a copy that died is
    // taken over. false when the name is held by a live copy or cannot be used.
    bool listen(const QString &serverName = defaultServerName());
    bool isListening() const;

signals:
    void showRequested();

private:
    void acceptConnections();
    void answer(QLocalSocket *socket);

    QLocalServer *server_ = nullptr;
};
