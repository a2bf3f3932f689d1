#include "app/SingleInstance.h"

#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace tessaly {

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    QByteArray home = QByteArray::fromStdString(paths::homePath());
    QByteArray hash = QCryptographicHash::hash(home, QCryptographicHash::Sha256).toHex().left(12);
    return QString("tessaly-%1-%2")
        .arg(QString::fromStdString(paths::loginName()), QString::fromLatin1(hash));
}

bool SingleInstance::sendToRunning(const QByteArray& message, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    if (server_)
        return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            delete server_;
            server_ = nullptr;
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            auto* buffer = new QByteArray;
            connect(socket, &QLocalSocket::readyRead, socket,
                    [socket, buffer] { buffer->append(socket->readAll()); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                QByteArray message = *buffer;
                delete buffer;
                socket->deleteLater();
                if (!message.isEmpty())
                    emit messageReceived(message);
            });
        }
    });
    return true;
}

} // namespace tessaly
