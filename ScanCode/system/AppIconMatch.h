#pragma once

#include "ScanCode/uninstall/AppItem.h"

#include <string>

namespace tessaly {

// The installed application a cache or log entry belongs to. With ext the last
// dot-separated part of the entry's name, an application matches at once when
// its bundle's file name or its executable equals ext, or its identifier equals
// the entry's name; otherwise the last application whose bundle name or
// executable occurs in the entry's name (ignoring case) is taken. Null when none.
AppItemRef applicationForEntry(const std::string& entryName, const AppItemList& applications);

// The icon of a scan item: the owning application's icon for a non-package
// entry of the cache and log modules (3-6), otherwise the item's own path.
std::string scanItemIcon(int module, const std::string& path, const std::string& name,
                         const AppItemList& applications);

} // namespace tessaly
