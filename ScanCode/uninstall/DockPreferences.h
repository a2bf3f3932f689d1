#pragma once

#include "platform/PlistValue.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tessaly {

// The dock's preferences in the user's Library.
std::string dockPreferencesPath();

// The dock's application tiles ("persistent-apps"); none when the preferences
// are missing, damaged or hold no such list.
std::optional<PlistValue::Array> readDockApps();

// The position of the first tile whose "tile-data" names the key as its
// "bundle-identifier", or else as its "file-label" (both ignoring case).
std::optional<std::size_t> findDockTile(const PlistValue::Array& tiles, const std::string& key);

// What became of a tile that was to leave the dock.
enum class DockRemoval { Removed, NotThere, Failed };

// Takes the key's tile out of the dock's preferences as the file holds them now,
// and writes the file back at once (through a temporary file renamed over it, in
// its own format), every other key and tile kept. *error says why it failed.
DockRemoval removeDockTile(const std::string& key, std::string* error = nullptr);

} // namespace tessaly
