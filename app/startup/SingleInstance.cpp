// SPDX-License-Identifier: Apache-2.0
#include "app/startup/SingleInstance.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtGlobal>

#ifndef _WIN32
#include <QDir>
#include <QFile>

#include "app/startup/PrivateRuntimeFolder.h"
#endif

namespace {

#ifdef _WIN32
constexpr char kServerPrefix[] = "RowSifter-";
#else
constexpr char kSocketName[] = "RowSifter.socket";
#endif
constexpr char kShowRequest[] = "show\n";
constexpr char kShowAck[] = "ok\n";
// A request is one short line; anything longer is not from a copy of ours.
constexpr qint64 kMaxRequestBytes = 64;
constexpr int kLiveCheckMs = 200;

// A socket another user put in place is neither asked nor replaced.
bool isHeldByAnotherUser(const QString &serverName) {
#ifdef _WIN32
    Q_UNUSED(serverName);
    return false;
#else
    return startup::isHeldByAnotherUser(QFile::encodeName(serverName).toStdString());
#endif
}

// Connecting is the only sure test of a live owner: a local server set up
// with access options replaces any socket file of the same name, live or not.
bool isAnswered(const QString &serverName) {
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (!probe.waitForConnected(kLiveCheckMs)) return false;
    probe.abort();
    return true;
}

}  // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName() {
#ifdef _WIN32
    const QString user = qEnvironmentVariable("USERNAME");
    return QLatin1String(kServerPrefix) + (user.isEmpty() ? QStringLiteral("user") : user);
#else
    const QByteArray runtimeFolder = qgetenv("XDG_RUNTIME_DIR");
    const std::string folder =
        startup::privateRuntimeFolder(runtimeFolder.isEmpty() ? nullptr : runtimeFolder.constData(),
                                      QFile::encodeName(QDir::tempPath()).toStdString());
    if (folder.empty()) return QString();
    return QFile::decodeName(QByteArray::fromStdString(folder)) + QLatin1Char('/') + QLatin1String(kSocketName);
#endif
}

bool SingleInstance::isUsable(const QString &serverName) {
    return !serverName.isEmpty() && !isHeldByAnotherUser(serverName);
}

bool SingleInstance::askRunningCopyToShow(int timeoutMs, const QString &serverName) {
    if (!isUsable(serverName)) return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        if (socket.error() == QLocalSocket::ConnectionRefusedError) QLocalServer::removeServer(serverName);
        return false;
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < kMaxRequestBytes) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    return reply == kShowAck;
}

bool SingleInstance::listen(const QString &serverName) {
    if (server_ != nullptr && server_->isListening()) return true;
    if (!isUsable(serverName) || isAnswered(serverName)) return false;
    // Whatever is left under the name belongs to a copy that died.
    QLocalServer::removeServer(serverName);
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return server_->listen(serverName);
}

bool SingleInstance::isListening() const { return server_ != nullptr && server_->isListening(); }

void SingleInstance::acceptConnections() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        if (socket->bytesAvailable() > 0) answer(socket);
    }
}

void SingleInstance::answer(QLocalSocket *socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    const QByteArray request = socket->readLine(kMaxRequestBytes);
    if (request != kShowRequest) {
        socket->abort();
        return;
    }
    // Shown first, acknowledged after: the asking copy may leave once it has the answer.
    emit showRequested();
    socket->write(kShowAck);
    socket->flush();
}
