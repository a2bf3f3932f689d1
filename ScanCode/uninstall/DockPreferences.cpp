#include "ScanCode/uninstall/DockPreferences.h"

#include "platform/Paths.h"
#include "platform/PropertyList.h"

namespace tessaly {

std::string dockPreferencesPath() {
    return paths::join(paths::homePath(), "Library/Preferences/com.apple.dock.plist");
}

std::optional<PlistValue::Array> readDockApps() {
    auto prefs = plist::readFile(dockPreferencesPath());
    if (!prefs || !prefs->isDict())
        return std::nullopt;
    const PlistValue* apps = prefs->find("persistent-apps");
    if (!apps || !apps->isArray())
        return std::nullopt;
    return *apps->array();
}

} // namespace tessaly
