#pragma once

#include "ScanCode/uninstall/ApplicationIndex.h"

#include <string>
#include <vector>

namespace tessaly {

// The applications of a Linux desktop, from their desktop entries: the user's
// ("$XDG_DATA_HOME/applications"), the system's ("$XDG_DATA_DIRS", default
// "/usr/local/share:/usr/share", under the system root) and Flatpak's exports,
// the first entry of an id winning. Entries that are hidden, not shown or no
// application are left out. Version and size come from the package that owns
// the entry (dpkg's database, Flatpak's deployment); the last use is the access
// time of the program the entry starts.
class DesktopEntryIndex : public ApplicationIndex {
public:
    std::optional<std::vector<IndexedApplication>>
    findApplications(const std::vector<std::string>& scopes) override;

    // The folders of desktop entries, in precedence order.
    static std::vector<std::string> entryFolders();
};

} // namespace tessaly
