#pragma once

#include "ScanCode/uninstall/AppKind.h"
#include "platform/Date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// An application bundle as a file-system index reports it.
struct IndexedApplication {
    std::string path;
    std::optional<std::int64_t> size; // none when the index has no size for it
    std::string version;
    std::string bundleID;
    std::string displayName;
    std::optional<Date> lastUsed;
    std::string icon; // the icon reference a desktop entry names; empty for a bundle
    // How it is removed, and with what (see AppItem).
    AppKind kind = AppKind::Bundle;
    std::string package{};
    bool flatpakUser = false;
    std::string program{};
    std::string notRemovableReason{};
};

// A source of application bundles other than walking the folders: a metadata
// index, a package database... The catalogue asks it first and walks the folders
// when it has none to give. On a macOS-layout home there is no such index; on a
// Linux home the desktop entries are one (DesktopEntryIndex).
class ApplicationIndex {
public:
    virtual ~ApplicationIndex() = default;
    // The application bundles under the scopes, ordered by display name; none
    // when the index cannot be queried.
    virtual std::optional<std::vector<IndexedApplication>>
    findApplications(const std::vector<std::string>& scopes) = 0;
};

} // namespace tessaly
