#include "app/Screenshots.h"

#include "app/AppDelegate.h"
#include "app/DuplicateViewController.h"
#include "app/HelpWindowController.h"
#include "app/NoticeSheet.h"
#include "app/SystemCleanupViewController.h"
#include "app/ToolBaseViewController.h"
#include "app/common/DetailList.h"
#include "model/ToolIndex.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

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

// Runs the event loop until done() holds or 60 seconds have passed.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

// System Cleanup and the Duplicates Finder through a scan: report and details.
void toolStages(AppDelegate& app, const QString& dir) {
    app.tableViewSelectionDidChange(AppDelegate::resetCellIndex(tool::SystemCleanup));
    settle();
    if (auto* system = dynamic_cast<SystemCleanupViewController*>(
            app.getVC(AppDelegate::resetCellIndex(tool::SystemCleanup)))) {
        system->setAnimationScale(0);
        system->scanClicked();
        if (waitFor([&] { return system->stage() == ToolScreen::Stage::Report; }))
            save(app.grab(), dir, "01b-system-report");
        system->detailClicked();
        settle();
        save(app.grab(), dir, "01c-system-details");
        // The language groups open onto their applications; photo previews show thumbnails.
        DetailList* details = system->detailList();
        QTreeWidget* categories = details->categoryTree();
        for (const char* name : {"Language", "iPhoto Cache"}) {
            for (int row = 0; row < categories->topLevelItemCount(); ++row) {
                if (categories->topLevelItem(row)->text(0) != name)
                    continue;
                details->selectCategory(row);
                details->itemTree()->expandAll();
                settle();
                save(app.grab(), dir,
                     QString("01d-system-") + QString(name).toLower().replace(' ', '-'));
            }
        }
    }
    app.tableViewSelectionDidChange(AppDelegate::resetCellIndex(tool::DuplicatesFinder));
    settle();
    if (auto* dup = dynamic_cast<DuplicateViewController*>(
            app.getVC(AppDelegate::resetCellIndex(tool::DuplicatesFinder)))) {
        dup->setAnimationScale(0);
        dup->scanClicked();
        if (waitFor([&] { return dup->stage() == ToolScreen::Stage::Report; }))
            save(app.grab(), dir, "05b-duplicates-report");
        dup->detailClicked();
        settle();
        save(app.grab(), dir, "05c-duplicates-details");
    }
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

    toolStages(app, dir);

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
