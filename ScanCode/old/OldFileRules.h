#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly::oldrules {

// The advance-tick rule of the old-file lists: a file is ticked when, in this
// order, it is a Windows program ("exe"); an installer image whose base name
// holds an installed application's name; an archive that another entry at the
// top of a scanned folder is the unpacked form of (named like the archive
// without its archive extensions); or a copy of an installed application outside
// the applications folder; on a Linux desktop also a downloaded package already
// installed at its version or a later one, and an AppImage or archive of an
// application that is installed. Names compare ignoring case; extensions as
// they are written ("SETUP.EXE" is not "exe"), types through the type table.
struct TickContext {
    std::vector<std::string> apps;     // names of the installed applications not made by Apple
    std::vector<std::string> allNames; // the direct entries of the scanned folders
    std::string applicationsFolder;    // "/Applications" (under the system root)
    // The system's installed packages (name → version) and the names of the
    // installed applications (packages and Flatpak applications).
    std::map<std::string, std::string> packages;
    std::vector<std::string> installedNames;
};

// Why the file is ticked in advance; none when it is not.
std::optional<std::string> tickReason(const std::string& path, const TickContext& context);
bool needCheck(const std::string& path, const TickContext& context);

// A downloaded package's name and version from its file name
// ("name_1%3a2.0-1_amd64.deb" is "name" at "1:2.0-1"); none for other names.
std::optional<std::pair<std::string, std::string>> debNameAndVersion(const std::string& path);
// The application an AppImage or archive is named for: its name up to the
// version or the platform ("Obsidian-1.5.3.AppImage" is "Obsidian").
std::string leadingName(const std::string& path);

bool windowData(const std::string& path);    // "exe"
bool isInstallPage(const std::string& path); // a disk image, or "pkg"
bool isArchiver(const std::string& path);    // an archive, not "dmg"
bool isApp(const std::string& path);         // "app"
// Whether the base name holds, ignoring case, one of the names.
bool checkInstallPage(const std::string& path, const std::vector<std::string>& apps);
// The names an archive unpacks to: its name without its last extension, and
// for a compressed tar ("trip.tar.gz") also without ".tar" ("trip.tar", "trip").
std::vector<std::string> unpackedNames(const std::string& path);
// Whether one of the names is, ignoring case, one the archive unpacks to.
bool checkArchiver(const std::string& path, const std::vector<std::string>& names);

// Whether the last path component begins with ".".
bool customHidden(const std::string& path);

} // namespace tessaly::oldrules
