#include "app/AppSeams.h"

namespace tessaly::seams {

// The install report is part of the reports to the maker, built separately.
void sendInstallReport() {}

// Crash reporting is part of the reports to the maker, built separately.
void installCrashReporter() {}
void uploadPendingCrashReport() {}

// Updates come from the package manager.
void checkForUpdatesInBackground() {}

// Needs the helper installer and the application removal, built separately.
bool selfUninstallAvailable() {
    return false;
}
void uninstallSelf() {}

// The interface sounds come with the preferences.
void playSound(const char*) {}

} // namespace tessaly::seams
