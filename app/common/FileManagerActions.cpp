#include "app/common/FileManagerActions.h"

#include "app/common/ItemInfoDialog.h"

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

std::function<void(const QString&)>& infoHandler() {
    static std::function<void(const QString&)> h;
    return h;
}

// Calls one of the file manager's methods that take a list of file URLs.
bool callFileManager(const char* method, const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                       "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", method);
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
    if (callFileManager("ShowItems", path))
        return;
    QProcess::startDetached("xdg-open", {QFileInfo(path).absolutePath()});
}

void setRevealHandler(std::function<void(const QString&)> h) {
    handler() = std::move(h);
}

void showItemInfo(const QString& path, QWidget* parent) {
    if (infoHandler()) {
        infoHandler()(path);
        return;
    }
    if (callFileManager("ShowItemProperties", path))
        return;
    auto* dialog = new ItemInfoDialog(path, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void setShowInfoHandler(std::function<void(const QString&)> h) {
    infoHandler() = std::move(h);
}

} // namespace tessaly
