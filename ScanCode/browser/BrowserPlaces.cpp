#include "ScanCode/browser/BrowserPlaces.h"

#include "ScanCode/browser/BrowserModules.h"
#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
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
            {P::ChromeCookies, chrome + "Cookies", ""},
            {P::ChromeHistory, chrome + "History", ""},
            {P::ChromeTopSites, chrome + "Top Sites", ""},
            {P::ChromeFavicons, chrome + "Favicons", ""},
            {P::FirefoxCookies, firefox, "cookies.sqlite"},
            {P::FirefoxHistory, firefox, "places.sqlite"},
            {P::FirefoxFavicons, "", "favicons.sqlite"},
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

const BrowserLayout& currentBrowserLayout() {
    return macBrowserLayout();
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

std::string searchedFile(const BrowserLayout& layout, BrowserPlace place) {
    for (const BrowserPlaceRule& rule : layout.places)
        if (rule.place == place)
            if (auto found = pathOfDatabase(paths::join(paths::homePath(), rule.path), rule.key))
                return *found;
    return {};
}

bool isProfile(const BrowserLayout& layout, const std::string& name) {
    return text::containsIgnoringCase(name, layout.profileMark);
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

// Every entry of the first profile (in name order) of each profiles folder.
FileScanRoots firstProfileEntries(const BrowserLayout& layout, BrowserPlace place) {
    FileScanRoots roots;
    for (const std::string& folder : rowsOf(layout, place, &roots.key))
        for (const std::string& profile : folderEntries(folder, layout.skippedEntries))
            if (isProfile(layout, profile)) {
                const std::string path = paths::join(folder, profile);
                for (const std::string& entry : folderEntries(path, layout.skippedEntries))
                    roots.paths.push_back(paths::join(path, entry));
                break;
            }
    return roots;
}

FileScanRoots everyProfile(const BrowserLayout& layout, BrowserPlace place) {
    FileScanRoots roots;
    for (const std::string& folder : rowsOf(layout, place, &roots.key))
        for (const std::string& profile : folderEntries(folder, layout.skippedEntries))
            if (isProfile(layout, profile))
                roots.paths.push_back(paths::join(folder, profile));
    return roots;
}

} // namespace

BrowserFiles resolveBrowserFiles(const BrowserLayout& layout) {
    using P = BrowserPlace;
    BrowserFiles f;
    f.safariCache = entriesAsRoots(layout, P::SafariCache);
    f.safariSession = foldersAsRoots(layout, P::SafariSession);
    f.chromeCache = entriesAsRoots(layout, P::ChromeCache);
    f.chromeSession = foldersAsRoots(layout, P::ChromeSession);
    f.firefoxCache = firstProfileEntries(layout, P::FirefoxCache);
    f.firefoxSession = everyProfile(layout, P::FirefoxSession);
    f.safariCookies = firstFile(layout, P::SafariCookies);
    f.safariHistory = firstFile(layout, P::SafariHistory);
    f.safariTopSites = firstFile(layout, P::SafariTopSites);
    f.safariIcons = firstFile(layout, P::SafariIcons);
    f.chromeCookies = firstFile(layout, P::ChromeCookies);
    f.chromeHistory = firstFile(layout, P::ChromeHistory);
    f.chromeTopSites = firstFile(layout, P::ChromeTopSites);
    f.chromeFavicons = firstFile(layout, P::ChromeFavicons);
    f.firefoxCookies = searchedFile(layout, P::FirefoxCookies);
    f.firefoxHistory = searchedFile(layout, P::FirefoxHistory);
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
