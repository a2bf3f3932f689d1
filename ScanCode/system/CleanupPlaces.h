#pragma once

#include "model/KeptPaths.h"
#include "model/Problem.h"
#include "model/ScanInputObject.h"
#include "platform/BaseFolders.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {

// Where a place of the table is anchored.
enum class PlaceBase {
    Home,         // the user's home folder
    System,       // the system root
    PhotoLibrary, // the user's photo library folder (none: the place is left out)
    CacheHome,    // the user's cache folder ($XDG_CACHE_HOME, else ~/.cache)
    DataHome,     // the user's data folder ($XDG_DATA_HOME, else ~/.local/share)
    StateHome,    // the user's state folder ($XDG_STATE_HOME, else ~/.local/state)
    ConfigHome,   // the user's settings folder ($XDG_CONFIG_HOME, else ~/.config)
    UserVolumes,  // the top folder of each volume mounted for the user (/media/USER/*,
                  // /run/media/USER/*): one place per volume
};

// One place a file-scan module lists.
struct PlaceRule {
    PlaceRule(int forModule, PlaceBase from, std::string where, std::string matchKey,
              EntryMatch how = EntryMatch::Contains, bool onlyFiles = false, bool below = false,
              std::string removedWith = {})
        : module(forModule), base(from), path(std::move(where)), key(std::move(matchKey)),
          match(how), filesOnly(onlyFiles), recursive(below), companion(std::move(removedWith)) {}

    int module;
    PlaceBase base;
    std::string path; // relative to the base; "{uid}" stands for the user's number
    std::string key;  // what the names are matched with (empty: every entry)
    EntryMatch match = EntryMatch::Contains;
    bool filesOnly = false; // folders are never listed
    bool recursive = false; // matching files are looked for in every folder below
    std::string companion;  // removed with each entry (see ScanInputObject)
};

// A shared folder holding one folder per language (translations, manual pages,
// help), shown under each language as one entry of this title.
struct SharedLanguagePlace {
    PlaceBase base;
    std::string path;
    std::string title;
    std::string icon;
};

// A list of recently opened documents kept inside a program's own file.
enum class RecentListKind {
    Xbel,        // the desktop's recently-used.xbel: one <bookmark> per document
    LibreOffice, // registrymodifications.xcu: the Histories items of each document
    Vlc,         // vlc-qt-interface.conf: the list and times of [RecentsMRL]
};

struct RecentListPlace {
    PlaceBase base;
    std::string path;
    RecentListKind kind;
};

// Every place the System Cleanup looks at, for one file-system layout. The
// scanners read places only from here, so another layout is one more table.
struct CleanupLayout {
    // The modules this layout has, in scan order; the others are absent (not
    // shown, not scanned, not offered as a switch).
    std::vector<int> modules;
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
    // Folders of autostart desktop entries and of the user's systemd units.
    std::vector<std::pair<PlaceBase, std::string>> autostartFolders;
    std::vector<std::pair<PlaceBase, std::string>> userUnitFolders;
    // Where leftovers of removed applications are looked for, in stack order (the
    // last one is visited first).
    std::vector<std::pair<PlaceBase, std::string>> leftoverFolders;
    // Folders whose path holds this (ignoring case) keep crash reports.
    std::string crashReportMark;
    // The system's per-language folders outside the applications.
    std::vector<SharedLanguagePlace> languageFolders;
    // Whether the leftover search looks into plain-named folders nobody owns
    // (the Library folders) or keeps to the folders' own entries (the Linux
    // base folders, where such folders hold what the desktop itself keeps).
    bool leftoverLooksInside = true;
    // Folders of per-application data named by a Flatpak id: an entry is a
    // leftover when no Flatpak application of that id is installed.
    std::vector<std::pair<PlaceBase, std::string>> flatpakDataFolders;
    // Whether leftovers are looked for only once some application is known: on a
    // desktop whose applications are read from their entries an empty catalogue
    // means they could not be read, not that nothing is installed.
    bool leftoversNeedApplications = false;
    // Whether what is installed owns leftovers beyond the catalogue's
    // applications: every desktop entry (hidden ones too), the system's packages
    // by name and the Flatpak applications.
    bool leftoverOwnersFromSystem = false;
    // Caches costly to rebuild or holding the user's own data (downloaded models,
    // dictionaries): listed unticked, "costly to restore", for the user to tick.
    std::vector<std::pair<PlaceBase, std::string>> costlyPlaces;
    // The recent-document lists that the Recent Documents module empties.
    std::vector<RecentListPlace> recentLists;
};

// The layout's costly places as paths.
KeptPaths costlyToRestore(const CleanupLayout& layout);

// The macOS layout: the user's and the system's Library folders.
const CleanupLayout& macLayout();

// The Linux desktop's layout: the freedesktop base folders, the package archive
// and the rotated logs of the system.
const CleanupLayout& linuxLayout();

// The layout of the home folder in use (platform/HomeLayout.h).
const CleanupLayout& currentLayout();

// Whether the layout in use has the module.
bool layoutHasModule(int module);

// A place's full path: Home under the home folder, System under the system root,
// "{profile}" in a relative path stands for each browser profile folder there
// ("Default", "Profile 1", ...): see placesForModule.
// PhotoLibrary under the photo library (none when there is none), the base
// folders under the one basefolders::choose takes (none when neither the
// variable nor the default may be cleaned in).
std::optional<std::string> placePath(PlaceBase base, const std::string& relative,
                                     const std::optional<std::string>& photoLibrary = {});

// Which freedesktop base folder a place is anchored in; none for the others.
std::optional<basefolders::Kind> baseFolderKind(PlaceBase base);

// Why base folders that the modules' places come from were not used as they were
// set (a variable naming the home folder, "/", a system folder...), one problem
// a folder, for the scan's problems.
ProblemList baseFolderProblems(const CleanupLayout& layout, const std::vector<int>& modules);

// The file-scan places of one module, ticked; PhotoLibrary places only when a
// library is known.
std::vector<ScanInputObject> placesForModule(int module, const CleanupLayout& layout,
                                             const std::optional<std::string>& photoLibrary = {});

// The top folders of the volumes mounted for the user, in name order.
std::vector<std::string> userVolumes();

// The user's photo library folder: the last entry (in name order) of the
// pictures folder whose name contains the mark; none when there is none.
std::optional<std::string> findPhotoLibrary(const CleanupLayout& layout);

// Whether a module never lists an entry of this name.
bool isExcludedEntry(const CleanupLayout& layout, int module, const std::string& name);

} // namespace tessaly
