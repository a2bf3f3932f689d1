#include "app/Screenshots.h"

#include "app/AppDelegate.h"
#include "app/HelpWindowController.h"
#include "app/NoticeSheet.h"
#include "app/ToolBaseViewController.h"
#include "model/ToolIndex.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTextStream>
#include <QTimer>

namespace tessaly {

namespace {

void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

void save(const QPixmap& pm, const QString& dir, const QString& name) {
    QString path = QDir(dir).filePath(name + ".png");
    if (!pm.save(path))
        QTextStream(stderr) << "could not save " << path << "\n";
    else
        QTextStream(stdout) << path << "\n";
}

} // namespace

void runScreenshotTour(AppDelegate& app, const QString& dir) {
    QDir().mkpath(dir);
    app.setSwitchDuration(0);
    for (int row = 0; row < 10; ++row) {
        app.tableViewSelectionDidChange(row);
        settle();
        const ToolInfo* info = toolInfo(AppDelegate::resetIndex(row));
        save(app.grab(), dir, QString("%1-%2").arg(row, 2, 10, QChar('0')).arg(info->commandName));
    }

    // A notice over the main window, as the shell shows it.
    app.backHome();
    settle();
    ToolBaseViewController* memory =
        app.getVC(AppDelegate::resetCellIndex(tool::MemoryOptimization));
    memory->showScanAlert();
    settle();
    if (NoticeSheet* sheet = memory->currentNotice()) {
        QPixmap shot = app.grab();
        QPainter p(&shot);
        p.fillRect(shot.rect(), QColor(0, 0, 0, 70));
        QPixmap s = sheet->grab();
        p.drawPixmap((shot.width() - s.width()) / 2, (shot.height() - s.height()) / 2, s);
        p.end();
        save(shot, dir, "10-notice");
        sheet->close();
    }

    app.onHelp();
    HelpWindowController* help = app.helpWindow();
    for (int i = 0; i < 20 && help && !help->loaded(); ++i)
        settle();
    if (help)
        save(help->grab(), dir, "11-help");

    QTimer::singleShot(0, qApp, &QApplication::quit);
}

} // namespace tessaly
