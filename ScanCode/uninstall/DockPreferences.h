#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>

namespace tessaly {

// The dock's preferences in the user's Library.
std::string dockPreferencesPath();

// The dock's application tiles ("persistent-apps"); none when the preferences
// are missing, damaged or hold no such list.
std::optional<PlistValue::Array> readDockApps();

} // namespace tessaly
