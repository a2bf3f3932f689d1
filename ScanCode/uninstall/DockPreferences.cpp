#include "ScanCode/uninstall/DockPreferences.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/TextCase.h"

#include <cstring>

namespace tessaly {

namespace {

constexpr const char* kPersistentApps = "persistent-apps";

bool tileNames(const PlistValue& tile, const char* field, const std::string& key) {
    const PlistValue* data = tile.find("tile-data");
    const PlistValue* value = data && data->isDict() ? data->find(field) : nullptr;
    return value && value->isString() && text::equalsIgnoringCase(*value->string(), key);
}

} // namespace

std::string dockPreferencesPath() {
    return paths::join(paths::homePath(), "Library/Preferences/com.apple.dock.plist");
}

std::optional<PlistValue::Array> readDockApps() {
    auto prefs = plist::readFile(dockPreferencesPath());
    if (!prefs || !prefs->isDict())
        return std::nullopt;
    const PlistValue* apps = prefs->find(kPersistentApps);
    if (!apps || !apps->isArray())
        return std::nullopt;
    return *apps->array();
}

std::optional<std::size_t> findDockTile(const PlistValue::Array& tiles, const std::string& key) {
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (!tiles[i].isDict())
            continue;
        if (tileNames(tiles[i], "bundle-identifier", key) || tileNames(tiles[i], "file-label", key))
            return i;
    }
    return std::nullopt;
}

DockRemoval removeDockTile(const std::string& key, std::string* error) {
    const std::string path = dockPreferencesPath();
    auto bytes = readWholeFile(path, plist::kMaxFileBytes);
    auto prefs = bytes ? plist::parse(*bytes) : std::nullopt;
    PlistValue::Dict* top = prefs ? prefs->dict() : nullptr;
    auto apps = top ? top->find(kPersistentApps) : PlistValue::Dict::iterator{};
    if (!top || apps == top->end() || !apps->second.isArray())
        return DockRemoval::NotThere;
    PlistValue::Array& tiles = *apps->second.array();
    auto at = findDockTile(tiles, key);
    if (!at)
        return DockRemoval::NotThere;
    tiles.erase(tiles.begin() + static_cast<std::ptrdiff_t>(*at));
    const bool binary = bytes->size() >= 6 && std::memcmp(bytes->data(), "bplist", 6) == 0;
    if (!plist::writeFile(path, *prefs, binary ? plist::Format::Binary : plist::Format::Xml, error))
        return DockRemoval::Failed;
    return DockRemoval::Removed;
}

} // namespace tessaly
