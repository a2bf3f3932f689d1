#pragma once

#include "model/ScanInputObject.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// Where a place of the table is anchored.
enum class PlaceBase {
    Home,         // the user's home folder
    System,       // the system root
    PhotoLibrary, // the user's photo library folder (none: the place is left out)
};

// One place a file-scan module lists.
struct PlaceRule {
    int module;
    PlaceBase base;
    std::string path; // relative to the base
    std::string key;  // only entries whose name contains it (empty: every entry)
};

// Every place the System Cleanup looks at, for one file-system layout. The
// scanners read places only from here, so another layout is one more table.
struct CleanupLayout {
    std::vector<PlaceRule> places; // file-scan places, in search order per module
    // Entries a module never lists (name compared ignoring case).
    std::vector<std::pair<int, std::string>> excludedEntries;
    std::string containers;       // home-relative folder of the sandbox containers
    std::string containerCaches;  // container-relative caches folder
    std::string containerLogs;    // container-relative logs folder
    std::string pictures;         // home-relative folder holding the photo library
    std::string photoLibraryMark; // the photo library is the last entry whose name contains it
    std::vector<std::pair<PlaceBase, std::string>> launchdFolders; // job property lists
    std::string loginItemsList; // home-relative property list of the session login items
    // Where leftovers of removed applications are looked for, in stack order (the
    // last one is visited first).
    std::vector<std::pair<PlaceBase, std::string>> leftoverFolders;
    // Folders whose path holds this (ignoring case) keep crash reports.
    std::string crashReportMark;
};

// The macOS layout: the user's and the system's Library folders.
const CleanupLayout& macLayout();

// The layout the engine uses (the macOS layout).
const CleanupLayout& currentLayout();

// A place's full path: Home under the home folder, System under the system root,
// PhotoLibrary under the photo library (none when there is none).
std::optional<std::string> placePath(PlaceBase base, const std::string& relative,
                                     const std::optional<std::string>& photoLibrary = {});

// The file-scan places of one module, ticked; PhotoLibrary places only when a
// library is known.
std::vector<ScanInputObject> placesForModule(int module, const CleanupLayout& layout,
                                             const std::optional<std::string>& photoLibrary = {});

// The user's photo library folder: the last entry (in name order) of the
// pictures folder whose name contains the mark; none when there is none.
std::optional<std::string> findPhotoLibrary(const CleanupLayout& layout);

// Whether a module never lists an entry of this name.
bool isExcludedEntry(const CleanupLayout& layout, int module, const std::string& name);

} // namespace tessaly
