#include "shell/InstanceChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

// The one request the channel knows.
constexpr char kActivate[] = "activate\n";
constexpr qint64 kMaxRequest = 64;

} // namespace

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() {
    if (m_server)
        m_server->close();
}

QString InstanceChannel::ServerName() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/quorvantix-%1.socket").arg(getuid());
}

bool InstanceChannel::Listen(const QString& name) {
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::OnNewConnection);
    }
    if (m_server->isListening())
        return true;
    if (m_server->listen(name))
        return true;
    // Only this user's program holds the single-instance lock, so a socket of
    // that name is a leftover of an earlier run that did not end cleanly.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError &&
        QLocalServer::removeServer(name))
        return m_server->listen(name);
    return false;
}

bool InstanceChannel::IsListening() const {
    return m_server && m_server->isListening();
}

void InstanceChannel::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray request = socket->read(kMaxRequest);
            if (request == kActivate) {
                socket->write("ok\n");
                socket->flush();
                emit activationRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool InstanceChannel::RequestActivation(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    if (!socket.waitForReadyRead(timeoutMs))
        return false;
    return socket.readAll() == "ok\n";
}
