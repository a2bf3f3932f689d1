// DronHelper: the menu helper agent. A tray icon whose menu shows the free
// memory and offers "OPTIMIZE", which runs the memory release of Memory
// Optimization. Started for the user by the service manager while automatic
// optimisation is switched on.
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "platform/Dispatch.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

QString freeMemoryText() {
    auto sample = tessaly::Function::shareMemoryFunction().memoryData();
    if (!sample)
        return QStringLiteral("Free: —");
    return QStringLiteral("Free: ") +
           QString::fromStdString(tessaly::CommonFunction::getMemorySizeString2(sample->free));
}

QIcon trayIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2e, 0x8b, 0x57));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("M"));
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    QSystemTrayIcon tray(trayIcon());
    QMenu menu;
    QAction* freeMemory = menu.addAction(freeMemoryText());
    freeMemory->setEnabled(false);
    QAction* optimize = menu.addAction(QStringLiteral("OPTIMIZE"));
    tray.setContextMenu(&menu);

    auto refresh = [&] {
        QString text = freeMemoryText();
        freeMemory->setText(text);
        tray.setToolTip(text);
    };
    QObject::connect(optimize, &QAction::triggered, &app, [&] {
        optimize->setEnabled(false);
        tessaly::GlobalQueue::async([optimize] {
            tessaly::Function::shareMemoryFunction().clearMemory();
            QMetaObject::invokeMethod(
                optimize, [optimize] { optimize->setEnabled(true); }, Qt::QueuedConnection);
        });
    });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &app, refresh);
    timer.start(5000);
    refresh();
    tray.show();
    return app.exec();
}
