#include "app/MainQueueBinding.h"

#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace tessaly {

void bindMainQueueToEventLoop(QCoreApplication& app) {
    MainQueue::bindToCurrentThread();
    QPointer<QCoreApplication> target(&app);
    MainQueue::setWakeHandler([target] {
        if (target)
            QMetaObject::invokeMethod(
                target.data(), [] { MainQueue::drain(); }, Qt::QueuedConnection);
    });
    MainQueue::drain();
}

} // namespace tessaly
