#include "ScanCode/system/CleanupPlaces.h"

#include "ScanCode/system/SystemModules.h"
#include "platform/DirectoryReader.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tessaly {

const CleanupLayout& macLayout() {
    using namespace sysmodule;
    static const CleanupLayout layout{
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
    };
    return layout;
}

const CleanupLayout& currentLayout() {
    return macLayout();
}

std::optional<std::string> placePath(PlaceBase base, const std::string& relative,
                                     const std::optional<std::string>& photoLibrary) {
    switch (base) {
    case PlaceBase::Home:
        return paths::join(paths::homePath(), relative);
    case PlaceBase::System:
        return paths::systemPath(relative);
    case PlaceBase::PhotoLibrary:
        if (!photoLibrary)
            return std::nullopt;
        return relative.empty() ? *photoLibrary : paths::join(*photoLibrary, relative);
    }
    return std::nullopt;
}

std::vector<ScanInputObject> placesForModule(int module, const CleanupLayout& layout,
                                             const std::optional<std::string>& photoLibrary) {
    std::vector<ScanInputObject> out;
    for (const PlaceRule& rule : layout.places) {
        if (rule.module != module)
            continue;
        auto path = placePath(rule.base, rule.path, photoLibrary);
        if (!path)
            continue;
        ScanInputObject place;
        place.path = *path;
        place.key = rule.key;
        place.isCheck = true;
        out.push_back(std::move(place));
    }
    return out;
}

std::optional<std::string> findPhotoLibrary(const CleanupLayout& layout) {
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
