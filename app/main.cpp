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
#include <optional>

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

// Hands the request of this start to an instance that already runs. Done before
// any window-system connection is made, so that a hand-over from a terminal or a
// remote session works without a display. Returns the exit status when this start
// ends here. Arguments meant for Qt itself make the parse fail; such a start goes
// on to the full start-up, which knows them, unless there is no display to start on.
std::optional<int> handOverEarly(int argc, char** argv) {
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (raw.contains("--help") || raw.contains("-h"))
        return std::nullopt;
    LaunchOptions options = parseLaunchOptions(raw, QDir::currentPath());
    if (!options.error.isEmpty()) {
        bool display = qEnvironmentVariableIsSet("DISPLAY") ||
                       qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                       qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
        if (display)
            return std::nullopt;
        QTextStream(stderr) << "tessaly: " << options.error << "\n" << launchUsage();
        return 2;
    }
    if (!options.screenshotDir.isEmpty())
        return std::nullopt;
    SingleInstance instance;
    if (instance.sendToRunning(encodeHandOver(options)))
        return 0;
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = handOverEarly(argc, argv))
        return *status;
    seams::enableCrashReporting();
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
