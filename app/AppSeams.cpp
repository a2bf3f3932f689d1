#include "app/AppSeams.h"

#include "model/Reports.h"
#include "platform/CrashHandler.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"

#include <atomic>
#include <cstdlib>

namespace tessaly::seams {

namespace {

std::atomic<bool> crashReporting{false};

} // namespace

void sendInstallReport() {
    GlobalQueue::async([] { reports::sendInstallReport(UserDefaults::standardUserDefaults()); });
}

void enableCrashReporting() {
    crashReporting = true;
}

void installCrashReporter() {
    if (!crashReporting)
        return;
    const std::string path = reports::crashFilePath();
    crash::removeStalePartials(path);
    if (crash::install(path))
        std::atexit(crash::uninstall);
}

void uploadPendingCrashReport() {
    GlobalQueue::async([] { reports::sendCrashReport(UserDefaults::standardUserDefaults()); });
}

// Updates come from the package manager.
void checkForUpdatesInBackground() {}

// Needs the helper installer and the application removal, built separately.
bool selfUninstallAvailable() {
    return false;
}
void uninstallSelf() {}

} // namespace tessaly::seams
