#include "app/common/RevealInFileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tessaly {

namespace {

std::function<void(const QString&)>& handler() {
    static std::function<void(const QString&)> h;
    return h;
}

bool showItemsOnBus(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                       "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

void revealInFileManager(const QString& path) {
    if (handler()) {
        handler()(path);
        return;
    }
    if (showItemsOnBus(path))
        return;
    QProcess::startDetached("xdg-open", {QFileInfo(path).absolutePath()});
}

void setRevealHandler(std::function<void(const QString&)> h) {
    handler() = std::move(h);
}

} // namespace tessaly
