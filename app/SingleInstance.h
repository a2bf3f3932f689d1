#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace tessaly {

// One running application per user and home folder: a later start hands its
// request to the running one through a local socket and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // "tessaly-<user>-<hash of the home folder>".
    static QString defaultName();
    const QString& name() const { return name_; }

    // Sends one message to the running instance; false when none answers.
    bool sendToRunning(const QByteArray& message, int timeoutMs = 1000) const;

    // Becomes the running instance (a stale socket left by a crash is replaced).
    bool listen();

signals:
    void messageReceived(const QByteArray& message);

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace tessaly
