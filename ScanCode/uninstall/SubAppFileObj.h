#pragma once

#include "model/Comparison.h"
#include "platform/FileAttributes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// The kinds of related records.
namespace subfile {
inline constexpr std::int64_t File = 0;      // a file or folder (the bundle itself included)
inline constexpr std::int64_t LoginItem = 1; // the application's login item
inline constexpr std::int64_t DockEntry = 2; // the application's tile in the dock
inline constexpr std::int64_t LaunchJob = 4; // a launch agent or daemon
// The application's package (dpkg, Flatpak or Snap), removed by its own tool;
// path is its desktop entry, which that tool removes with it.
inline constexpr std::int64_t Package = 5;
// The application's entry in the user's file-type choices (path: mimeapps.list,
// entryName: its desktop entry's file name), which leaves the list.
inline constexpr std::int64_t MimeAssociation = 6;
} // namespace subfile

// One thing that belongs to an application outside its bundle (or the bundle
// itself), found by the related-file search and removed by the Uninstaller.
class SubAppFileObj {
public:
    // The file or folder; "<name> Login Item" or "<name> Dock Icon" for those
    // entries; the job's property list for a launch job.
    std::string path;
    std::int64_t size = 0; // bytes; 0 when unknown
    std::int64_t type = subfile::File;
    bool isCheck = false;       // ticked for removal
    bool cannotRemoved = false; // a removal left it; notRemovedReason says why
    std::string icon;           // icon reference
    // Launch jobs: the application (or program) the job starts, when known; its
    // label; whether it lies in the system's folders (removed through the helper).
    std::optional<std::string> appPath;
    std::string identifier;
    bool system = false;

    // Login items and dock entries: the name or key the entry is found by;
    // packages: the package, Flatpak id or snap (and identifier their kind's title).
    std::string entryName;
    // What the search saw at path (files, folders and jobs' property lists).
    fileattr::FileStamp stamp;
    std::string notRemovedReason;
    // Why the search leaves it unticked whatever the item's tick (another
    // installed application may own it); empty when it goes with the item.
    std::string keptReason;
    // Packages: what the package tool would remove with it (apt-get's
    // simulation: the application's package first), and the tool's own figure
    // of what it frees is size.
    std::vector<std::string> packages;

    // The application bundle (extension "app") before anything else, then the
    // larger size first.
    ComparisonResult compare(const SubAppFileObj& other) const;

    // How a launch job is titled: the last component of appPath, else the last
    // dot-separated part of its property list's name, with " (Deamon)" for the
    // system's jobs and " (Helper)" for the user's. Packages: "Package htop",
    // "Flatpak org.x.App". Other records: their path.
    std::string title() const;
};

using SubAppFileRef = std::shared_ptr<SubAppFileObj>;
using SubAppFileList = std::vector<SubAppFileRef>;
using SubAppFileListRef = std::shared_ptr<SubAppFileList>;

} // namespace tessaly
