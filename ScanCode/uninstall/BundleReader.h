#pragma once

#include "ScanCode/uninstall/AppItem.h"

#include <optional>
#include <string>

namespace tessaly {

// The facts a bundle states about itself in its Info.plist ("Contents/Info.plist",
// or "Info.plist" at the top of bundles laid out flat, such as widgets). A missing
// or damaged file gives empty fields.
struct BundleInfo {
    std::string identifier;   // CFBundleIdentifier
    std::string executable;   // CFBundleExecutable
    std::string shortVersion; // CFBundleShortVersionString
    std::string iconFile;     // CFBundleIconFile
};

BundleInfo readBundleInfo(const std::string& bundlePath);

// Whether a name an Info.plist gives for a file of the bundle is a plain file
// name: not empty, not "." or "..", no folder separator. Only such names are
// followed, so that a damaged or hostile Info.plist never leads out of the bundle.
bool isPlainFileName(const std::string& name);

// The bundle's main executable, "Contents/MacOS/" + CFBundleExecutable; none when
// the Info.plist names none or names something other than a plain file name.
std::optional<std::string> mainExecutablePath(const std::string& bundlePath,
                                              const BundleInfo& info);

// The icon reference of a bundle: its icon file when it has one, else its path.
std::string bundleIcon(const std::string& bundlePath, const BundleInfo& info);

// An item built from the bundle itself, with the given display name: identifier,
// executable, version, system flag, company, size on disk and date of last use.
AppItemRef appItemFromBundle(const std::string& bundlePath, const std::string& name);

} // namespace tessaly
