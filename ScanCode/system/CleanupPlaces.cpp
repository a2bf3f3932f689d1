#include "ScanCode/system/CleanupPlaces.h"

#include "ScanCode/system/SystemModules.h"
#include "platform/BaseFolders.h"
#include "platform/DirectoryReader.h"
#include "platform/HomeLayout.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <unistd.h>

namespace tessaly {

const CleanupLayout& macLayout() {
    using namespace sysmodule;
    static const CleanupLayout layout{
        {UserCache, UserLog, AppLeftover, BrokenLoginItems, SystemCache, Language, SystemLog,
         IOSSoftwareUpdates, IOSPhotoCache, Binary, iPhotoCache, MailAttachments, Trash},
        {
            {UserCache, PlaceBase::Home, "Library/Caches", ""},
            {UserLog, PlaceBase::Home, "Library/Logs", ""},
            {SystemCache, PlaceBase::System, "/Library/Caches", ""},
            {SystemLog, PlaceBase::System, "/Library/Logs", ""},
            {IOSSoftwareUpdates, PlaceBase::Home, "Library/iTunes", ".ipsw"},
            {IOSPhotoCache, PlaceBase::PhotoLibrary, "", ".ithmb"},
            {MailAttachments, PlaceBase::Home,
             "Library/Containers/com.apple.mail/Data/Library/Mail Downloads", ""},
            {MailAttachments, PlaceBase::Home, "Library/Mail Downloads", ""},
            {Trash, PlaceBase::Home, ".Trash", ""},
        },
        {{SystemCache, "com.apple.finder"}},
        "Library/Containers",
        "Data/Library/Caches",
        "Data/Library/Logs",
        "Pictures",
        "iPhoto",
        {
            {PlaceBase::Home, "Library/LaunchAgents"},
            {PlaceBase::Home, "Library/LaunchDaemons"},
            {PlaceBase::System, "/Library/LaunchAgents"},
            {PlaceBase::System, "/Library/LaunchDaemons"},
        },
        "Library/Preferences/com.apple.loginitems.plist",
        {},
        {},
        {
            {PlaceBase::Home, "Library/Preferences"},
            {PlaceBase::System, "/Library/Preferences"},
            {PlaceBase::Home, "Library/Saved Application State"},
            {PlaceBase::System, "/Library/Saved Application State"},
            {PlaceBase::Home, "Library/Application Support/CrashReporter"},
            {PlaceBase::System, "/Library/Application Support/CrashReporter"},
            {PlaceBase::Home, "Library/Application Support"},
            {PlaceBase::System, "/Library/Application Support"},
        },
        "CrashReporter",
        {},
        true,
        {},
        false,
        false,
        {{PlaceBase::Home, "Library/Caches/JetBrains"},
         {PlaceBase::Home, "Library/Caches/ms-playwright"},
         {PlaceBase::Home, ".cache/huggingface"},
         {PlaceBase::Home, ".cache/torch"}},
        {},
    };
    return layout;
}

const CleanupLayout& linuxLayout() {
    using namespace sysmodule;
    static const CleanupLayout layout{
        {UserCache, UserLog, AppLeftover, BrokenLoginItems, SystemCache, Language, SystemLog, Trash,
         RecentDocuments, ShellHistory},
        {
            {UserCache, PlaceBase::CacheHome, "", ""},
            // npm's content cache (the rest of ~/.npm holds its settings and logs).
            {UserCache, PlaceBase::Home, ".npm", "_cacache", EntryMatch::Exact},
            // What Chromium and Chrome rebuild by themselves, in every profile: the
            // rest of their settings folder is the user's (and Browser Cleanup's).
            {UserCache, PlaceBase::ConfigHome, "chromium", "ShaderCache", EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "chromium", "GrShaderCache", EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "chromium/{profile}", "GPUCache", EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "chromium/{profile}", "Code Cache",
             EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "chromium/{profile}/Service Worker", "CacheStorage",
             EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "google-chrome", "ShaderCache", EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "google-chrome", "GrShaderCache", EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "google-chrome/{profile}", "GPUCache",
             EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "google-chrome/{profile}", "Code Cache",
             EntryMatch::Exact},
            {UserCache, PlaceBase::ConfigHome, "google-chrome/{profile}/Service Worker",
             "CacheStorage", EntryMatch::Exact},
            // Only what rotation put aside: the live logs of a session stay.
            {UserLog, PlaceBase::Home, ".xsession-errors.old", ""},
            {UserLog, PlaceBase::StateHome, "", "", EntryMatch::RotatedLog, true, true},
            {UserLog, PlaceBase::DataHome, "xorg", "", EntryMatch::RotatedLog, true},
            // The package archive as "apt-get clean" empties it; nothing else of
            // /var/cache, whose other folders services rely on.
            {SystemCache, PlaceBase::System, "/var/cache/apt/archives", ".deb", EntryMatch::Suffix,
             true},
            {SystemCache, PlaceBase::System, "/var/cache/apt/archives/partial", ""},
            // Rotated files and archived journals, never a live log, never a folder.
            {SystemLog, PlaceBase::System, "/var/log", "", EntryMatch::RotatedLog, true, true},
            // The freedesktop trash: each trashed entry goes with its description.
            {Trash, PlaceBase::DataHome, "Trash/files", "", EntryMatch::Contains, false, false,
             "../info/{name}.trashinfo"},
            {Trash, PlaceBase::DataHome, "Trash/expunged", ""},
            // The trash the file manager keeps at the top of each of the user's volumes.
            {Trash, PlaceBase::UserVolumes, ".Trash-{uid}/files", "", EntryMatch::Contains, false,
             false, "../info/{name}.trashinfo"},
            {Trash, PlaceBase::UserVolumes, ".Trash-{uid}/expunged", ""},
            // What shells and interactive programs remember of the commands typed.
            {ShellHistory, PlaceBase::Home, ".bash_history", ""},
            {ShellHistory, PlaceBase::Home, ".zsh_history", ""},
            {ShellHistory, PlaceBase::Home, ".python_history", ""},
            {ShellHistory, PlaceBase::Home, ".lesshst", ""},
            {ShellHistory, PlaceBase::StateHome, "lesshst", ""},
            {ShellHistory, PlaceBase::Home, ".wget-hsts", ""},
            {ShellHistory, PlaceBase::Home, ".sqlite_history", ""},
        },
        {},
        ".var/app", // Flatpak applications keep their caches in their own folder
        "cache",
        "",
        "",
        "",
        {},
        "",
        {{PlaceBase::ConfigHome, "autostart"}},
        {{PlaceBase::ConfigHome, "systemd/user"}},
        // Reverse-domain-named settings and data nobody owns; the caches are
        // the User Cache's already.
        {{PlaceBase::DataHome, ""}, {PlaceBase::ConfigHome, ""}},
        "",
        {
            {PlaceBase::System, "/usr/share/locale", "Translations", "language-icon"},
            {PlaceBase::System, "/usr/share/man", "Manual Pages", "language-icon"},
            {PlaceBase::System, "/usr/share/help", "Help", "language-icon"},
        },
        false,
        {{PlaceBase::Home, ".var/app"}},
        true,
        true,
        {{PlaceBase::CacheHome, "huggingface"},
         {PlaceBase::CacheHome, "torch"},
         {PlaceBase::CacheHome, "pypoetry/virtualenvs"},
         {PlaceBase::CacheHome, "ibus"},
         {PlaceBase::CacheHome, "ms-playwright"},
         {PlaceBase::CacheHome, "JetBrains"}},
        {{PlaceBase::DataHome, "recently-used.xbel", RecentListKind::Xbel},
         {PlaceBase::ConfigHome, "libreoffice/4/user/registrymodifications.xcu",
          RecentListKind::LibreOffice},
         {PlaceBase::ConfigHome, "vlc/vlc-qt-interface.conf", RecentListKind::Vlc}},
    };
    return layout;
}

const CleanupLayout& currentLayout() {
    return layout::current() == layout::HomeLayout::MacOS ? macLayout() : linuxLayout();
}

bool layoutHasModule(int module) {
    const auto& modules = currentLayout().modules;
    return std::find(modules.begin(), modules.end(), module) != modules.end();
}

std::optional<std::string> placePath(PlaceBase base, const std::string& relative,
                                     const std::optional<std::string>& photoLibrary) {
    switch (base) {
    case PlaceBase::Home:
        return paths::join(paths::homePath(), relative);
    case PlaceBase::System:
        return paths::systemPath(relative);
    case PlaceBase::CacheHome:
    case PlaceBase::DataHome:
    case PlaceBase::StateHome:
    case PlaceBase::ConfigHome: {
        const std::string folder = basefolders::choose(*baseFolderKind(base)).folder;
        if (folder.empty())
            return std::nullopt;
        return relative.empty() ? folder : paths::join(folder, relative);
    }
    case PlaceBase::UserVolumes:
        return std::nullopt; // one place per volume: see placesForModule
    case PlaceBase::PhotoLibrary:
        if (!photoLibrary)
            return std::nullopt;
        return relative.empty() ? *photoLibrary : paths::join(*photoLibrary, relative);
    }
    return std::nullopt;
}

std::optional<basefolders::Kind> baseFolderKind(PlaceBase base) {
    switch (base) {
    case PlaceBase::CacheHome:
        return basefolders::Kind::Cache;
    case PlaceBase::DataHome:
        return basefolders::Kind::Data;
    case PlaceBase::StateHome:
        return basefolders::Kind::State;
    case PlaceBase::ConfigHome:
        return basefolders::Kind::Config;
    default:
        return std::nullopt;
    }
}

ProblemList baseFolderProblems(const CleanupLayout& layout, const std::vector<int>& modules) {
    auto scanned = [&modules](int module) {
        return std::find(modules.begin(), modules.end(), module) != modules.end();
    };
    std::vector<PlaceBase> bases;
    for (const PlaceRule& rule : layout.places)
        if (scanned(rule.module))
            bases.push_back(rule.base);
    auto addAll = [&bases](const std::vector<std::pair<PlaceBase, std::string>>& folders) {
        for (const auto& folder : folders)
            bases.push_back(folder.first);
    };
    if (scanned(sysmodule::AppLeftover)) {
        addAll(layout.leftoverFolders);
        addAll(layout.flatpakDataFolders);
    }
    if (scanned(sysmodule::BrokenLoginItems)) {
        addAll(layout.autostartFolders);
        addAll(layout.userUnitFolders);
    }
    ProblemList problems;
    std::vector<basefolders::Kind> said;
    for (PlaceBase base : bases) {
        auto kind = baseFolderKind(base);
        if (!kind || std::find(said.begin(), said.end(), *kind) != said.end())
            continue;
        said.push_back(*kind);
        basefolders::Choice choice = basefolders::choose(*kind);
        if (!choice.reason.empty())
            problems.push_back({choice.refused, choice.reason});
    }
    return problems;
}

namespace {

// A browser profile folder: "Default", "Profile N", the guest's and the system's.
bool isProfileName(const std::string& name) {
    return name == "Default" || name.rfind("Profile ", 0) == 0 || name == "Guest Profile" ||
           name == "System Profile";
}

// A path with "{profile}" as one of its components: one path per profile folder.
std::vector<std::string> expandProfiles(const std::string& path) {
    const std::string marker = "/{profile}";
    const auto at = path.find(marker);
    if (at == std::string::npos)
        return {path};
    const std::string parent = path.substr(0, at);
    const std::string rest = path.substr(at + marker.size());
    std::vector<std::string> names;
    DirectoryReader reader(parent);
    while (reader.isOpen() && reader.next())
        if (reader.isDirectory() && isProfileName(reader.name()))
            names.push_back(reader.name());
    std::sort(names.begin(), names.end());
    std::vector<std::string> out;
    for (const std::string& name : names)
        out.push_back(paths::join(parent, name) + rest);
    return out;
}

} // namespace

KeptPaths costlyToRestore(const CleanupLayout& layout) {
    std::vector<std::string> list;
    for (const auto& [base, relative] : layout.costlyPlaces)
        if (auto path = placePath(base, relative))
            list.push_back(*path);
    return KeptPaths(list);
}

std::vector<ScanInputObject> placesForModule(int module, const CleanupLayout& layout,
                                             const std::optional<std::string>& photoLibrary) {
    std::vector<ScanInputObject> out;
    for (const PlaceRule& rule : layout.places) {
        if (rule.module != module)
            continue;
        std::string relative = rule.path;
        if (auto at = relative.find("{uid}"); at != std::string::npos)
            relative.replace(at, 5, std::to_string(::getuid()));
        std::vector<std::string> found;
        if (rule.base == PlaceBase::UserVolumes) {
            for (const std::string& volume : userVolumes())
                found.push_back(paths::join(volume, relative));
        } else if (auto path = placePath(rule.base, relative, photoLibrary)) {
            found = expandProfiles(*path);
        }
        for (const std::string& path : found) {
            ScanInputObject place;
            place.path = path;
            place.key = rule.key;
            place.isCheck = true;
            place.match = rule.match;
            place.filesOnly = rule.filesOnly;
            place.recursion = rule.recursive;
            place.companion = rule.companion;
            out.push_back(std::move(place));
        }
    }
    return out;
}

std::vector<std::string> userVolumes() {
    std::vector<std::string> volumes;
    const std::string user = paths::loginName();
    if (user.empty())
        return volumes;
    for (const char* mounts : {"/media/", "/run/media/"}) {
        const std::string folder = paths::systemPath(mounts + user);
        DirectoryReader reader(folder);
        std::vector<std::string> names;
        while (reader.isOpen() && reader.next())
            if (reader.name()[0] != '.' && reader.isDirectory())
                names.push_back(reader.name());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            volumes.push_back(paths::join(folder, name));
    }
    return volumes;
}

std::optional<std::string> findPhotoLibrary(const CleanupLayout& layout) {
    if (layout.pictures.empty() || layout.photoLibraryMark.empty())
        return std::nullopt;
    std::string pictures = paths::join(paths::homePath(), layout.pictures);
    DirectoryReader reader(pictures);
    if (!reader.isOpen())
        return std::nullopt;
    std::vector<std::string> names;
    while (reader.next()) {
        std::string name = reader.name();
        if (name.find(layout.photoLibraryMark) != std::string::npos)
            names.push_back(name);
    }
    if (names.empty())
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return paths::join(pictures, names.back());
}

bool isExcludedEntry(const CleanupLayout& layout, int module, const std::string& name) {
    for (const auto& [m, excluded] : layout.excludedEntries)
        if (m == module && text::equalsIgnoringCase(excluded, name))
            return true;
    return false;
}

} // namespace tessaly
