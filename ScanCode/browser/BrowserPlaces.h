#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// Every file and folder the Browser Cleanup reads, named by what it is.
enum class BrowserPlace {
    // Folders whose entries are listed as cache or session items.
    SafariCache,    // every entry of the folder is a root
    SafariSession,  // the folder is the root; entries whose name holds the key
    ChromeCache,    // every entry of the folder is a root
    ChromeSession,  // the folder is the root; entries whose name holds the key
    FirefoxCache,   // the profiles folder: every entry of its first profile is a root
    FirefoxSession, // the profiles folder: every profile is a root; key as above
    // Files.
    SafariCookies,   // the shared cookie store
    SafariHistory,   // property list
    SafariTopSites,  // property list
    SafariIcons,     // SQLite
    ChromeCookies,   // SQLite
    ChromeHistory,   // SQLite
    ChromeTopSites,  // SQLite
    ChromeFavicons,  // SQLite
    FirefoxCookies,  // the first file named `key` under the folder
    FirefoxHistory,  // the first file named `key` under the folder
    FirefoxFavicons, // the file named `key` beside the history database
    // A database a history clean changes with the history, the file named `key`
    // beside the history database; `path` is the name it is attached under.
    ChromeHistoryCompanion,
    FirefoxHistoryCompanion,
    // A folder of Chrome's profiles: its entries whose name starts with `key`
    // ("Profile 1", ...) are profiles beside Default.
    ChromeProfiles,
};

// One row of the table: a place, home-relative, and its key (a name filter or a
// file name, as the place says).
struct BrowserPlaceRule {
    BrowserPlace place;
    std::string path;
    std::string key;
};

// A browser as the running programs show it.
struct RunningBrowserRule {
    std::string bundleIdentifier;         // "com.google.Chrome"
    std::string name;                     // shown in the running-browser sheet
    int browser;                          // browser type
    std::vector<std::string> executables; // executable file names that run it here
};

// Where one file-system layout keeps the browsers' data. Several rows for one
// place are alternatives: a file is the first that exists, folders add up. The
// readers take places only from here, so another layout is one more table.
struct BrowserLayout {
    std::vector<BrowserPlaceRule> places;
    std::string profileMark;                 // Firefox profile folders hold it (ignoring case)
    std::vector<std::string> skippedEntries; // never cache roots
    std::vector<RunningBrowserRule> browsers;
    // Every Firefox profile of profiles.ini is offered, not only the one in use.
    bool everyFirefoxProfile = false;
};

// The macOS layout: the user's Library folder.
const BrowserLayout& macBrowserLayout();
// The Linux desktop's layout: Chrome and Chromium under ~/.config, Firefox
// under ~/.mozilla (and its Flatpak and Snap homes), their caches under
// ~/.cache; Safari has no place.
const BrowserLayout& linuxBrowserLayout();

// The layout of the home folder in use (platform/HomeLayout.h).
const BrowserLayout& currentBrowserLayout();

// Whether a layout knows a browser at all (Safari has no place on a Linux
// home): one it does not know has no modules, rows or button.
bool offersBrowser(const BrowserLayout& layout, int browser);

// The roots and key of one cache or session scanner.
struct FileScanRoots {
    std::vector<std::string> paths;
    std::string key; // empty: every entry
};

// The places resolved under the home folder, at the start of a scan. A file
// that does not exist is empty.
struct BrowserFiles {
    FileScanRoots safariCache, safariSession, chromeCache, chromeSession, firefoxCache,
        firefoxSession;
    std::string safariCookies, safariHistory, safariTopSites, safariIcons;
    std::string chromeCookies, chromeHistory, chromeTopSites, chromeFavicons;
    std::string firefoxCookies, firefoxHistory, firefoxFavicons;
    // The databases beside each history database that are there: name, file.
    std::vector<std::pair<std::string, std::string>> chromeCompanions, firefoxCompanions;

    // A browser's profile beside the one in use, offered with its own rows.
    struct OtherProfile {
        std::string name; // its folder's name ("Profile 1", "w0rk.work")
        std::string cookies, history, topSites;
        std::vector<std::pair<std::string, std::string>> companions; // beside history
    };
    std::vector<OtherProfile> chromeOthers, firefoxOthers;

    // Each other profile with its browser (browser::Chrome or browser::Firefox)
    // and the kind of database it keeps ("chrome", "firefox").
    void forEachOther(
        const std::function<void(int type, const char* kind, const OtherProfile&)>& visit) const;
};
BrowserFiles resolveBrowserFiles(const BrowserLayout& layout);

// The first file of that exact name under the folder, depth first (names in
// order; hidden folders, packages and links are not entered); none when there is
// none.
std::optional<std::string> pathOfDatabase(const std::string& folder, const std::string& name);

// The entries of a folder in name order, without the skipped names; empty when
// it cannot be listed.
std::vector<std::string> folderEntries(const std::string& folder,
                                       const std::vector<std::string>& skipped);

} // namespace tessaly
