#include "ScanCode/browser/BrowserPlaces.h"

#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/HistoryErasure.h"
#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/HomeLayout.h"
#include "platform/KeyFile.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tessaly {

const BrowserLayout& macBrowserLayout() {
    using P = BrowserPlace;
    static const std::string chrome = "Library/Application Support/Google/Chrome/Default/";
    static const std::string firefox = "Library/Application Support/Firefox/Profiles";
    static const BrowserLayout layout{
        {
            {P::SafariCache, "Library/Caches/Metadata/Safari", ""},
            {P::SafariSession, "Library/Safari", "session"},
            {P::ChromeCache, "Library/Caches/Google/Chrome/Default", ""},
            {P::ChromeSession, chrome, "session"},
            {P::FirefoxCache, "Library/Caches/Firefox/Profiles", ""},
            {P::FirefoxSession, "Library/Caches/Firefox/Profiles", "session"},
            {P::SafariCookies, "Library/Cookies/Cookies.binarycookies", ""},
            {P::SafariHistory, "Library/Safari/History.plist", ""},
            {P::SafariTopSites, "Library/Safari/TopSites.plist", ""},
            {P::SafariIcons, "Library/Safari/WebpageIcons.db", ""},
            // Current versions keep the cookies in "Network", older ones beside it.
            {P::ChromeCookies, chrome + "Network/Cookies", ""},
            {P::ChromeCookies, chrome + "Cookies", ""},
            {P::ChromeHistory, chrome + "History", ""},
            {P::ChromeTopSites, chrome + "Top Sites", ""},
            {P::ChromeFavicons, chrome + "Favicons", ""},
            {P::FirefoxCookies, firefox, "cookies.sqlite"},
            {P::FirefoxHistory, firefox, "places.sqlite"},
            {P::FirefoxFavicons, "", "favicons.sqlite"},
            {P::ChromeHistoryCompanion, companion::ChromeFavicons, "Favicons"},
            {P::ChromeHistoryCompanion, companion::ChromeTopSites, "Top Sites"},
            {P::ChromeHistoryCompanion, companion::ChromeShortcuts, "Shortcuts"},
            {P::ChromeHistoryCompanion, companion::ChromePredictor, "Network Action Predictor"},
            {P::FirefoxHistoryCompanion, companion::FirefoxFavicons, "favicons.sqlite"},
            {P::ChromeProfiles, "Library/Application Support/Google/Chrome", "Profile "},
        },
        ".default",
        {".DS_Store"},
        {
            {"com.apple.Safari", "Safari", browser::Safari, {}},
            {"com.google.Chrome",
             "Google Chrome",
             browser::Chrome,
             {"chrome", "google-chrome", "Google Chrome", "chromium", "chromium-browser"}},
            {"org.mozilla.firefox",
             "Firefox",
             browser::Firefox,
             {"firefox", "firefox-esr", "firefox-bin"}},
        },
    };
    return layout;
}

const BrowserLayout& linuxBrowserLayout() {
    using P = BrowserPlace;
    // Chrome first, then Chromium: a file is the first of them that exists. The
    // cookie database moved into "Network" in current versions.
    static const std::vector<std::string> chromes = {".config/google-chrome/Default/",
                                                     ".config/chromium/Default/"};
    // Firefox as Debian ships it, as a Flatpak and as a Snap.
    static const std::vector<std::string> firefoxes = {
        ".mozilla/firefox", ".var/app/org.mozilla.firefox/.mozilla/firefox",
        "snap/firefox/common/.mozilla/firefox"};
    static const BrowserLayout layout = [] {
        BrowserLayout l;
        for (const char* cache : {".cache/google-chrome/Default", ".cache/chromium/Default"})
            l.places.push_back({P::ChromeCache, cache, ""});
        for (const std::string& chrome : chromes) {
            l.places.push_back({P::ChromeSession, chrome, "session"});
            l.places.push_back({P::ChromeCookies, chrome + "Network/Cookies", ""});
            l.places.push_back({P::ChromeCookies, chrome + "Cookies", ""});
            l.places.push_back({P::ChromeHistory, chrome + "History", ""});
            l.places.push_back({P::ChromeTopSites, chrome + "Top Sites", ""});
            l.places.push_back({P::ChromeFavicons, chrome + "Favicons", ""});
        }
        for (const char* cache :
             {".cache/mozilla/firefox", ".var/app/org.mozilla.firefox/cache/mozilla/firefox",
              "snap/firefox/common/.cache/mozilla/firefox"})
            l.places.push_back({P::FirefoxCache, cache, ""});
        for (const std::string& firefox : firefoxes) {
            l.places.push_back({P::FirefoxSession, firefox, "session"});
            l.places.push_back({P::FirefoxCookies, firefox, "cookies.sqlite"});
            l.places.push_back({P::FirefoxHistory, firefox, "places.sqlite"});
        }
        l.places.push_back({P::FirefoxFavicons, "", "favicons.sqlite"});
        for (const BrowserPlaceRule& rule : macBrowserLayout().places)
            if (rule.place == P::ChromeHistoryCompanion || rule.place == P::FirefoxHistoryCompanion)
                l.places.push_back(rule);
        for (const char* base : {".config/google-chrome", ".config/chromium"})
            l.places.push_back({P::ChromeProfiles, base, "Profile "});
        l.profileMark = ".default";
        l.everyFirefoxProfile = true;
        // Safari has no place here; the browsers are found by their executables.
        const BrowserLayout& mac = macBrowserLayout();
        for (const RunningBrowserRule& rule : mac.browsers)
            if (rule.browser != browser::Safari)
                l.browsers.push_back(rule);
        return l;
    }();
    return layout;
}

const BrowserLayout& currentBrowserLayout() {
    return layout::current() == layout::HomeLayout::MacOS ? macBrowserLayout()
                                                          : linuxBrowserLayout();
}

bool offersBrowser(const BrowserLayout& layout, int browser) {
    return std::any_of(
        layout.browsers.begin(), layout.browsers.end(),
        [browser](const RunningBrowserRule& rule) { return rule.browser == browser; });
}

std::vector<std::string> folderEntries(const std::string& folder,
                                       const std::vector<std::string>& skipped) {
    std::vector<std::string> names;
    DirectoryReader reader(folder);
    while (reader.isOpen() && reader.next()) {
        std::string name = reader.name();
        if (std::find(skipped.begin(), skipped.end(), name) == skipped.end())
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> pathOfDatabase(const std::string& folder, const std::string& name) {
    std::vector<std::string> stack{folder};
    while (!stack.empty()) {
        const std::string current = stack.back();
        stack.pop_back();
        std::vector<std::string> entries = folderEntries(current, {});
        std::vector<std::string> folders;
        for (const std::string& entry : entries) {
            const std::string path = paths::join(current, entry);
            if (entry == name)
                return path;
            auto info = fileattr::entryInfo(path);
            if (info.isDirectory && !info.isSymlink && entry[0] != '.' &&
                !isPackageFolder(entry, path))
                folders.push_back(path);
        }
        stack.insert(stack.end(), folders.begin(), folders.end());
    }
    return std::nullopt;
}

namespace {

std::vector<std::string> rowsOf(const BrowserLayout& layout, BrowserPlace place,
                                std::string* key = nullptr) {
    std::vector<std::string> out;
    for (const BrowserPlaceRule& rule : layout.places)
        if (rule.place == place) {
            out.push_back(rule.path.empty() ? std::string()
                                            : paths::join(paths::homePath(), rule.path));
            if (key)
                *key = rule.key;
        }
    return out;
}

std::string firstFile(const BrowserLayout& layout, BrowserPlace place) {
    for (const std::string& path : rowsOf(layout, place))
        if (fileattr::entryInfo(path).isRegular)
            return path;
    return {};
}

// The profile folders a profiles folder's "profiles.ini" lists by a relative path.
std::vector<std::string> listedProfiles(const std::string& folder) {
    std::vector<std::string> names;
    auto ini = keyfile::read(paths::join(folder, "profiles.ini"));
    if (!ini)
        return names;
    for (const auto& [group, keys] : *ini) {
        auto path = keys.find("Path");
        auto relative = keys.find("IsRelative");
        if (group.rfind("Profile", 0) == 0 && path != keys.end() && relative != keys.end() &&
            relative->second == "1" && path->second.find('/') == std::string::npos)
            names.push_back(path->second);
    }
    return names;
}

// The folder name of the profile Firefox starts with: the default of an install
// (installs.ini, else an [Install...] group of profiles.ini), else the profile
// profiles.ini marks Default=1; only names of folders that are there count.
std::optional<std::string> profileInUse(const std::string& folder) {
    auto present = [&](const std::string& name) {
        return !name.empty() && name.find('/') == std::string::npos && name[0] != '.' &&
               fileattr::entryInfo(paths::join(folder, name)).isDirectory;
    };
    auto installs = keyfile::read(paths::join(folder, "installs.ini"));
    auto profiles = keyfile::read(paths::join(folder, "profiles.ini"));
    auto defaultOf = [&](const auto& keys) -> std::optional<std::string> {
        auto d = keys.find("Default");
        if (d != keys.end() && present(d->second))
            return d->second;
        return std::nullopt;
    };
    if (installs)
        for (const auto& [group, keys] : *installs)
            if (auto name = defaultOf(keys))
                return name;
    if (profiles) {
        for (const auto& [group, keys] : *profiles)
            if (group.rfind("Install", 0) == 0)
                if (auto name = defaultOf(keys))
                    return name;
        for (const auto& [group, keys] : *profiles) {
            auto path = keys.find("Path");
            auto relative = keys.find("IsRelative");
            auto marked = keys.find("Default");
            if (group.rfind("Profile", 0) == 0 && path != keys.end() && relative != keys.end() &&
                relative->second == "1" && marked != keys.end() && marked->second == "1" &&
                present(path->second))
                return path->second;
        }
    }
    return std::nullopt;
}

// A profile by its name, or because profiles.ini lists it.
bool isProfile(const BrowserLayout& layout, const std::string& name,
               const std::vector<std::string>& listed) {
    return text::containsIgnoringCase(name, layout.profileMark) ||
           std::find(listed.begin(), listed.end(), name) != listed.end();
}

FileScanRoots entriesAsRoots(const BrowserLayout& layout, BrowserPlace place) {
    FileScanRoots roots;
    for (const std::string& folder : rowsOf(layout, place, &roots.key))
        for (const std::string& entry : folderEntries(folder, layout.skippedEntries))
            roots.paths.push_back(paths::join(folder, entry));
    return roots;
}

FileScanRoots foldersAsRoots(const BrowserLayout& layout, BrowserPlace place) {
    FileScanRoots roots;
    roots.paths = rowsOf(layout, place, &roots.key);
    return roots;
}

// The file named `key` in the profile Firefox uses, in the first profiles
// folder that has one; where no profile is marked as in use, the first such
// file found (depth first). `profile` gets the profile's folder name.
std::string profileFile(const BrowserLayout& layout, BrowserPlace place,
                        std::string* profile = nullptr) {
    for (const BrowserPlaceRule& rule : layout.places) {
        if (rule.place != place)
            continue;
        const std::string folder = paths::join(paths::homePath(), rule.path);
        if (auto used = profileInUse(folder)) {
            const std::string path = paths::join(paths::join(folder, *used), rule.key);
            if (fileattr::entryInfo(path).isRegular) {
                if (profile)
                    *profile = *used;
                return path;
            }
            continue; // the profile in use has none yet: no other one stands in
        }
        if (auto found = pathOfDatabase(folder, rule.key)) {
            if (profile)
                *profile = paths::lastComponent(paths::deletingLastComponent(*found));
            return *found;
        }
    }
    return {};
}

// Every entry of the profile in use (its cache folder has the profile's name),
// else of the first profile (in name order), of each profiles folder.
FileScanRoots firstProfileEntries(const BrowserLayout& layout, BrowserPlace place,
                                  const std::string& inUse) {
    FileScanRoots roots;
    for (const std::string& folder : rowsOf(layout, place, &roots.key)) {
        const std::vector<std::string> listed = listedProfiles(folder);
        std::vector<std::string> names = folderEntries(folder, layout.skippedEntries);
        if (auto used = std::find(names.begin(), names.end(), inUse); used != names.end())
            std::rotate(names.begin(), used, used + 1);
        for (const std::string& profile : names)
            if (profile == inUse || isProfile(layout, profile, listed)) {
                const std::string path = paths::join(folder, profile);
                for (const std::string& entry : folderEntries(path, layout.skippedEntries))
                    roots.paths.push_back(paths::join(path, entry));
                break;
            }
    }
    return roots;
}

FileScanRoots everyProfile(const BrowserLayout& layout, BrowserPlace place) {
    FileScanRoots roots;
    for (const std::string& folder : rowsOf(layout, place, &roots.key)) {
        const std::vector<std::string> listed = listedProfiles(folder);
        for (const std::string& profile : folderEntries(folder, layout.skippedEntries))
            if (isProfile(layout, profile, listed))
                roots.paths.push_back(paths::join(folder, profile));
    }
    return roots;
}

} // namespace

void BrowserFiles::forEachOther(
    const std::function<void(int type, const char* kind, const OtherProfile&)>& visit) const {
    for (const OtherProfile& profile : chromeOthers)
        visit(browser::Chrome, "chrome", profile);
    for (const OtherProfile& profile : firefoxOthers)
        visit(browser::Firefox, "firefox", profile);
}

BrowserFiles resolveBrowserFiles(const BrowserLayout& layout) {
    using P = BrowserPlace;
    BrowserFiles f;
    f.safariCache = entriesAsRoots(layout, P::SafariCache);
    f.safariSession = foldersAsRoots(layout, P::SafariSession);
    f.chromeCache = entriesAsRoots(layout, P::ChromeCache);
    f.chromeSession = foldersAsRoots(layout, P::ChromeSession);
    std::string inUse;
    f.firefoxHistory = profileFile(layout, P::FirefoxHistory, &inUse);
    f.firefoxCookies = profileFile(layout, P::FirefoxCookies, inUse.empty() ? &inUse : nullptr);
    f.firefoxCache = firstProfileEntries(layout, P::FirefoxCache, inUse);
    f.firefoxSession = everyProfile(layout, P::FirefoxSession);
    f.safariCookies = firstFile(layout, P::SafariCookies);
    f.safariHistory = firstFile(layout, P::SafariHistory);
    f.safariTopSites = firstFile(layout, P::SafariTopSites);
    f.safariIcons = firstFile(layout, P::SafariIcons);
    f.chromeCookies = firstFile(layout, P::ChromeCookies);
    f.chromeHistory = firstFile(layout, P::ChromeHistory);
    f.chromeTopSites = firstFile(layout, P::ChromeTopSites);
    f.chromeFavicons = firstFile(layout, P::ChromeFavicons);
    auto companions = [&](BrowserPlace place, const std::string& history) {
        std::vector<std::pair<std::string, std::string>> out;
        if (history.empty())
            return out;
        for (const BrowserPlaceRule& rule : layout.places) {
            const std::string beside = paths::join(paths::deletingLastComponent(history), rule.key);
            if (rule.place == place && fileattr::entryInfo(beside).isRegular)
                out.emplace_back(rule.path, beside);
        }
        return out;
    };
    f.chromeCompanions = companions(P::ChromeHistoryCompanion, f.chromeHistory);
    f.firefoxCompanions = companions(P::FirefoxHistoryCompanion, f.firefoxHistory);
    auto regular = [](const std::string& path) {
        return fileattr::entryInfo(path).isRegular ? path : std::string();
    };
    // Chrome's other profiles: those beside the Default in use.
    std::string chromeBase;
    for (const std::string& file : {f.chromeHistory, f.chromeCookies, f.chromeTopSites})
        if (chromeBase.empty() && !file.empty()) {
            std::string folder = paths::deletingLastComponent(file);
            if (paths::lastComponent(folder) == "Network")
                folder = paths::deletingLastComponent(folder);
            chromeBase = paths::deletingLastComponent(folder);
        }
    for (const BrowserPlaceRule& rule : layout.places) {
        const std::string base = paths::join(paths::homePath(), rule.path);
        if (rule.place != P::ChromeProfiles || (!chromeBase.empty() && base != chromeBase))
            continue;
        for (const std::string& name : folderEntries(base, layout.skippedEntries)) {
            const std::string folder = paths::join(base, name);
            if (name.rfind(rule.key, 0) != 0 || !fileattr::entryInfo(folder).isDirectory)
                continue;
            BrowserFiles::OtherProfile other{name,
                                             {},
                                             regular(paths::join(folder, "History")),
                                             regular(paths::join(folder, "Top Sites")),
                                             {}};
            other.cookies = regular(paths::join(folder, "Network/Cookies"));
            if (other.cookies.empty())
                other.cookies = regular(paths::join(folder, "Cookies"));
            other.companions = companions(P::ChromeHistoryCompanion, other.history);
            if (!other.cookies.empty() || !other.history.empty() || !other.topSites.empty())
                f.chromeOthers.push_back(std::move(other));
        }
        if (!f.chromeOthers.empty() || !chromeBase.empty())
            break;
    }
    // Firefox's other profiles: every one profiles.ini lists beside the one in use.
    const std::string& firefoxInUse =
        f.firefoxHistory.empty() ? f.firefoxCookies : f.firefoxHistory;
    if (layout.everyFirefoxProfile && !inUse.empty())
        for (const BrowserPlaceRule& rule : layout.places) {
            const std::string folder = paths::join(paths::homePath(), rule.path);
            if (rule.place != P::FirefoxHistory || firefoxInUse.rfind(folder + "/", 0) != 0)
                continue;
            for (const std::string& name : listedProfiles(folder)) {
                const std::string profile = paths::join(folder, name);
                if (name == inUse || !fileattr::entryInfo(profile).isDirectory)
                    continue;
                BrowserFiles::OtherProfile other{name,
                                                 regular(paths::join(profile, "cookies.sqlite")),
                                                 regular(paths::join(profile, "places.sqlite")),
                                                 {},
                                                 {}};
                other.companions = companions(P::FirefoxHistoryCompanion, other.history);
                if (!other.cookies.empty() || !other.history.empty())
                    f.firefoxOthers.push_back(std::move(other));
            }
            // Their caches, each in the folder of its name.
            for (const BrowserPlaceRule& cache : layout.places)
                if (cache.place == P::FirefoxCache)
                    for (const BrowserFiles::OtherProfile& other : f.firefoxOthers) {
                        const std::string path =
                            paths::join(paths::join(paths::homePath(), cache.path), other.name);
                        for (const std::string& entry : folderEntries(path, layout.skippedEntries))
                            f.firefoxCache.paths.push_back(paths::join(path, entry));
                    }
            break;
        }
    if (!f.firefoxHistory.empty())
        for (const BrowserPlaceRule& rule : layout.places)
            if (rule.place == P::FirefoxFavicons) {
                std::string beside =
                    paths::join(paths::deletingLastComponent(f.firefoxHistory), rule.key);
                if (fileattr::entryInfo(beside).isRegular)
                    f.firefoxFavicons = beside;
            }
    return f;
}

} // namespace tessaly
