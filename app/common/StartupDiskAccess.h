#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tessaly {

class ToolBaseViewController;

// "fileSelectNotfication": posted when the user granted access to the start-up disk.
inline constexpr const char* fileSelectNotification = "fileSelectNotfication";

// The volume-selection step of the tools that read the whole start-up disk
// (System Cleanup, System Security). A sandboxed build must ask the user to pick
// the disk's root before such a scan; this build reads the disk with the user's
// own rights, so access is granted from the start.
bool startupDiskAccessRequired();
// Whether access has been granted (the settings' selectFile).
bool startupDiskAccessGranted();

// The open panel of the step: folders only, one choice, starting at "/".
// Answers the chosen folder, empty when dismissed.
QString chooseStartupDisk(QWidget* parent);

enum class StartupDiskGrant { Dismissed, WrongFolder, Granted };
// Takes what the panel answered. The root grants access: it is remembered under
// "searchLocationKey", the settings' selectFile is set and "fileSelectNotfication"
// posted. Any other folder grants nothing (the screen then asks for the disk).
StartupDiskGrant grantStartupDiskAccess(const QString& chosen);

// The whole step for a screen: the panel (or `chooser` in its place), then the
// grant; any other folder is refused with the notice "Please Select Macintosh
// HD". True when access was granted.
bool askForStartupDisk(ToolBaseViewController& screen, const std::function<QString()>& chooser);

} // namespace tessaly
