#pragma once

// Start-up and menu calls into parts of the application that stand apart from
// the window: reports, updates, self-removal.
namespace tessaly::seams {

// Start-up on the first start: sends the install report.
void sendInstallReport();

// Start-up: installs crash reporting (only in the application itself, once
// enableCrashReporting was called from main); after launch, uploads a pending
// crash report. The reports go out on a background queue.
void enableCrashReporting();
void installCrashReporter();
void uploadPendingCrashReport();

// Start-up: background update check. There is no update framework on this
// platform (the system's package manager updates the application).
void checkForUpdatesInBackground();

// Whether the "Uninstall" menu item can do its work (helper and self-removal present).
bool selfUninstallAvailable();
// Menu "Uninstall": removes the menu helper, then the application itself.
void uninstallSelf();

} // namespace tessaly::seams
