#pragma once

#include <string>
#include <vector>

namespace tessaly::oldrules {

// The advance-tick rule of the old-file lists: a file is ticked when, in this
// order, it is a Windows program ("exe"); an installer image whose base name
// holds an installed application's name; an archive that another entry at the
// top of a scanned folder is the unpacked form of (named like the archive
// without its archive extensions); or a copy of an installed application outside
// the applications folder. Names compare ignoring case.
struct TickContext {
    std::vector<std::string> apps;     // names of the installed applications not made by Apple
    std::vector<std::string> allNames; // the direct entries of the scanned folders
    std::string applicationsFolder;    // "/Applications" (under the system root)
};

bool needCheck(const std::string& path, const TickContext& context);

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
