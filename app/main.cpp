// tessaly: the windowed application.
#include "app/AppDelegate.h"
#include "app/AppSeams.h"
#include "app/AppStyle.h"
#include "app/Artwork.h"
#include "app/LaunchOptions.h"
#include "app/MainQueueBinding.h"
#include "app/Screenshots.h"
#include "app/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <QTimer>

using namespace tessaly;

namespace {

void applyHandOver(AppDelegate& app, const LaunchOptions& o) {
    if (!o.eraser.isEmpty())
        app.addFileFromFinder(o.eraser);
    if (!o.oldFiles.isEmpty())
        app.AddDirForOld(o.oldFiles);
    if (!o.duplicates.isEmpty())
        app.AddDirForDuplicate(o.duplicates);
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Tessaly");
    QApplication::setApplicationVersion(TESSALY_VERSION);
    QApplication::setDesktopFileName("tessaly");

    QStringList args = QApplication::arguments().mid(1);
    if (args.contains("--help") || args.contains("-h")) {
        QTextStream(stdout) << launchUsage();
        return 0;
    }
    LaunchOptions options = parseLaunchOptions(args, QDir::currentPath());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << "tessaly: " << options.error << "\n" << launchUsage();
        return 2;
    }

    // A running instance takes the request (an empty one brings its window up).
    SingleInstance instance;
    if (options.screenshotDir.isEmpty() && instance.sendToRunning(encodeHandOver(options)))
        return 0;

    bindMainQueueToEventLoop(qapp);
    applyAppStyle(qapp);
    QApplication::setWindowIcon(artwork::icon("tessaly"));

    AppDelegate window;
    window.show();
    window.awakeFromNib();
    seams::uploadPendingCrashReport();

    if (!options.screenshotDir.isEmpty()) {
        QTimer::singleShot(300, &window, [&window, dir = options.screenshotDir] {
            runScreenshotTour(window, dir);
        });
        return QApplication::exec();
    }

    instance.listen();
    QObject::connect(&instance, &SingleInstance::messageReceived, &window,
                     [&window](const QByteArray& message) {
                         window.onSowMainWindow();
                         if (auto o = decodeHandOver(message))
                             applyHandOver(window, *o);
                     });
    if (options.hasHandOver())
        QTimer::singleShot(0, &window, [&window, options] { applyHandOver(window, options); });
    return QApplication::exec();
}
