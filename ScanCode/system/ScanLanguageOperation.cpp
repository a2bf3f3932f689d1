#include "ScanCode/system/ScanLanguageOperation.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/DisposableNames.h"
#include "platform/LanguageIdentifier.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <exception>

namespace tessaly {

namespace {

constexpr const char* kLocalisationExtension = "lproj";
constexpr std::size_t kMinimumLanguages = 3;

bool isExcludedApplication(const AppItem& app) {
    for (const char* vendor : {"com.microsoft.", "com.adobe."})
        if (app.bundleID.find(vendor) != std::string::npos)
            return true;
    for (const char* name : {"iTunes", "App Store"})
        if (app.name.find(name) != std::string::npos)
            return true;
    return false;
}

// Sizes are kept as the single-precision value they were computed in, so large
// folder sizes are rounded to 24 significant bits.
std::int64_t roundedSize(std::int64_t size) {
    return static_cast<std::int64_t>(static_cast<float>(size));
}

ScanItem makeItem(const std::string& name, const std::string& icon) {
    auto item = std::make_shared<ScaneOuputObject>();
    item->name = name;
    item->icon = icon;
    item->isCheck = true;
    return item;
}

ComparisonResult largerFirst(const ScanItem& a, const ScanItem& b) {
    return a->compare(*b);
}

} // namespace

ScanLanguageOperation::ScanLanguageOperation(SearchApplications& catalogue, ScanServices services,
                                             ScanDelegate* scanDelegate)
    : delegate(scanDelegate), catalogue_(catalogue), services_(std::move(services)) {}

void ScanLanguageOperation::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate, sysmodule::Language, [this] { return scanLanguage(); });
    log::line("main Language");
}

bool ScanLanguageOperation::isLanguageCanRemove(const std::string& language,
                                                const std::string& /*key*/) const {
    auto canonical = language::canonicalLanguageIdentifier(language);
    if (!canonical)
        return false;
    std::string wanted = text::asciiLowercase(*canonical);
    for (const std::string& kept : keepLanuages)
        if (text::asciiLowercase(CommonFunction::switchLanguage(kept)) == wanted)
            return false;
    return true;
}

bool ScanLanguageOperation::checkIsContinueDeleteLanguageFile(
    const std::string& contentsPath, std::vector<std::string>& /*imagesResult*/) {
    DirectoryReader reader(paths::join(contentsPath, "Resources"));
    if (!reader.isOpen())
        return false;
    std::vector<std::string> prefixes;
    bool removable = false;
    while (reader.next()) {
        if (isCancelled())
            break;
        std::string name = reader.name();
        if (paths::extension(name) != kLocalisationExtension)
            continue;
        std::string prefix = CommonFunction::switchLanguage(paths::deletingExtension(name));
        if (std::find(prefixes.begin(), prefixes.end(), prefix) != prefixes.end())
            continue;
        prefixes.push_back(prefix);
        if (isLanguageCanRemove(prefix, prefix))
            removable = true;
    }
    bool english = std::any_of(prefixes.begin(), prefixes.end(), [](const std::string& p) {
        return p == "en" || p == "English" || p == "english";
    });
    return english && prefixes.size() >= kMinimumLanguages && removable;
}

std::optional<std::size_t> ScanLanguageOperation::searchObjectInArray(const std::string& country,
                                                                      const ScanItemList& groups) {
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (groups[i]->countryName == country)
            return i;
    return std::nullopt;
}

std::optional<std::size_t>
ScanLanguageOperation::searchObjectInArrayForName(const std::string& name,
                                                  const ScanItemList& items) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i]->name == name)
            return i;
    return std::nullopt;
}

std::int64_t ScanLanguageOperation::directorySize(const std::string& path) const {
    return tessaly::directorySize(path, [this] { return isCancelled(); });
}

void ScanLanguageOperation::recordFolder(ScanItemList& groups, const AppItem& app,
                                         const LanguageInfo& info, const std::string& folder) {
    recordLanguageFolder(groups, info, paths::lastComponent(app.path),
                         app.image.empty() ? app.path : app.image, app.path, folder);
}

void ScanLanguageOperation::recordLanguageFolder(ScanItemList& groups, const LanguageInfo& info,
                                                 const std::string& childName,
                                                 const std::string& childIcon,
                                                 const std::string& childPath,
                                                 const std::string& folder) {
    std::int64_t size = roundedSize(directorySize(folder));
    ScanItem group;
    if (auto at = searchObjectInArray(info.country, groups)) {
        group = groups[*at];
    } else {
        group = makeItem(info.language, info.country);
        group->countryName = info.country;
        group->subObjects = std::make_shared<ScanItemList>();
        groups.push_back(group);
    }
    ScanItem child;
    if (auto at = searchObjectInArrayForName(childName, *group->subObjects)) {
        child = (*group->subObjects)[*at];
    } else {
        child = makeItem(childName, childIcon);
        child->path = childPath;
        group->subObjects->push_back(child);
    }
    child->removePaths.push_back(folder);
    child->removeSizes.push_back(size);
    child->fileSize += size;
    group->fileSize += size;
}

void ScanLanguageOperation::scanSharedLanguageFolders(ScanItemList& groups) {
    for (const SharedLanguagePlace& place : currentLayout().languageFolders) {
        auto folder = placePath(place.base, place.path);
        if (!folder)
            continue;
        announcePath(delegate, *folder);
        DirectoryReader reader(*folder);
        std::vector<std::string> names;
        while (reader.isOpen() && reader.next())
            if (reader.isDirectory() && disposable::isLanguageFolderName(reader.name()))
                names.push_back(reader.name());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (isCancelled())
                return;
            // "pt_BR", "sr@latin" and "de.UTF-8" are all of their base language.
            const std::string code = name.substr(0, name.find_first_of("_@."));
            auto info = services_.languageInfo ? services_.languageInfo(code) : std::nullopt;
            if (info && isLanguageCanRemove(info->language, code))
                recordLanguageFolder(groups, *info, place.title, place.icon, *folder,
                                     paths::join(*folder, name));
        }
    }
}

void ScanLanguageOperation::scanApplication(ScanItemList& groups, const AppItem& app) {
    walkFolder(
        paths::join(app.path, "Contents"),
        [&](const WalkEntry& entry) {
            if (paths::extension(entry.name()) != kLocalisationExtension)
                return WalkDecision::Descend;
            // A localisation folder is never entered, listed or not.
            if (!entry.isDirectory())
                return WalkDecision::Continue;
            std::string code =
                CommonFunction::switchLanguage(paths::deletingExtension(entry.name()));
            auto info = services_.languageInfo ? services_.languageInfo(code) : std::nullopt;
            if (info && isLanguageCanRemove(info->language, code))
                recordFolder(groups, app, *info, entry.path());
            return WalkDecision::Continue;
        },
        [this] { return isCancelled(); });
}

ScanItemList ScanLanguageOperation::scanLanguage() {
    log::line("start language");
    keepLanuages = services_.keepLanguages ? services_.keepLanguages() : std::vector<std::string>{};
    AppItemList applications = catalogue_.allApplications();
    ScanItemList groups;
    std::vector<std::string> images;
    for (const AppItemRef& app : applications) {
        if (isCancelled())
            break;
        if (!app || isExcludedApplication(*app))
            continue;
        announcePath(delegate, app->path);
        std::string contents = paths::join(app->path, "Contents");
        if (!checkIsContinueDeleteLanguageFile(contents, images))
            continue;
        scanApplication(groups, *app);
    }
    scanSharedLanguageFolders(groups);
    for (const ScanItem& group : groups)
        sortUsing(*group->subObjects, largerFirst);
    sortUsing(groups, largerFirst);
    keepLanuages.clear();
    log::line("end language");
    return groups;
}

} // namespace tessaly
