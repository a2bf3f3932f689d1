#include "ScanCode/uninstall/SearchApplications.h"

#include "ScanCode/uninstall/DesktopEntryIndex.h"
#include "platform/HomeLayout.h"

#include "ScanCode/uninstall/ApplicationWalk.h"
#include "ScanCode/uninstall/BundleReader.h"
#include "ScanCode/uninstall/DockPreferences.h"
#include "ScanCode/uninstall/SystemApplications.h"
#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/FileKinds.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace tessaly {

namespace {

bool isInside(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

std::string userLibrary() {
    return paths::join(paths::homePath(), "Library");
}

} // namespace

SearchApplications& SearchApplications::shareSearchApplications() {
    static SearchApplications* shared = new SearchApplications();
    return *shared;
}

SearchApplications::SearchApplications() : SearchApplications(UninstallEnvironment::system()) {}

SearchApplications::SearchApplications(UninstallEnvironment env)
    : env_(std::move(env)), dockApps_(readDockApps()), appleApps_(systemApplicationNames()) {}

SearchApplications::~SearchApplications() {
    running_.wait();
}

std::vector<std::string> SearchApplications::searchScopes() {
    return {paths::systemPath("/Applications"), paths::homePath(),
            paths::systemPath("/Developer/Applications")};
}

void SearchApplications::setApplicationIndex(std::shared_ptr<ApplicationIndex> index) {
    std::lock_guard<std::mutex> guard(lock_);
    index_ = std::move(index);
}

void SearchApplications::searchApplications() {
    running_.async([this] { buildCatalogue(); });
}

void SearchApplications::buildCatalogue() {
    std::lock_guard<std::mutex> build(buildMutex_);
    std::shared_ptr<ApplicationIndex> index;
    {
        std::lock_guard<std::mutex> guard(lock_);
        index = index_;
    }
    // A Linux home's applications are those of its desktop entries.
    if (!index && layout::current() == layout::HomeLayout::Linux)
        index = std::make_shared<DesktopEntryIndex>();
    std::vector<std::string> scopes = searchScopes();
    if (index) {
        if (auto records = index->findApplications(scopes)) {
            AppItemList items = itemsFromIndex(*records);
            if (!items.empty()) {
                publish(std::move(items));
                setDone();
                return;
            }
        }
    }
    AppItemList all;
    std::unordered_set<std::string> seen;
    walkForApplications(scopes, userLibrary(), [&](AppItemRef item) {
        if (seen.insert(item->path).second)
            all.push_back(std::move(item));
    });
    publish(std::move(all));
    setDone();
}

AppItemList
SearchApplications::itemsFromIndex(const std::vector<IndexedApplication>& records) const {
    AppItemList items;
    std::string library = userLibrary();
    for (const IndexedApplication& record : records) {
        const bool desktopEntry = paths::extension(record.path) == "desktop";
        // An application inside another application's bundle.
        if (!desktopEntry &&
            text::asciiLowercase(paths::deletingExtension(record.path)).find(".app") !=
                std::string::npos)
            continue;
        // Helpers and cached applications in the user's Library.
        if (isInside(record.path, library))
            continue;
        auto item = std::make_shared<AppItem>();
        item->path = record.path;
        if (desktopEntry) {
            // A desktop entry: its own name and icon, the size of what owns it.
            item->image = record.icon;
            item->name = record.displayName;
            item->size = record.size.value_or(0);
        } else {
            item->image = bundleIcon(record.path, readBundleInfo(record.path));
            item->name = paths::lastComponent(record.path);
            if (record.size)
                item->size = *record.size == 0 ? directorySize(record.path) : *record.size;
        }
        item->version = record.version;
        item->lastOpenDate = record.lastUsed;
        if (!item->lastOpenDate) {
            auto info = fileattr::entryInfo(record.path);
            if (info.exists)
                item->lastOpenDate = info.modified;
        }
        item->bundleID = record.bundleID;
        item->executableString = record.displayName;
        item->kind = record.kind;
        item->package = record.package;
        item->flatpakUser = record.flatpakUser;
        item->program = record.program;
        item->notRemovableReason = record.notRemovableReason;
        item->company = AppItem::companyFromIdentifier(record.bundleID);
        items.push_back(std::move(item));
    }
    return items;
}

bool SearchApplications::isAppleApp(const std::string& nameWithoutExtension) const {
    return std::find(appleApps_.begin(), appleApps_.end(), nameWithoutExtension) !=
           appleApps_.end();
}

void SearchApplications::publish(AppItemList all) {
    AppItemList offered;
    // The system's own bundles are never offered; a desktop's applications
    // are offered by how they can be removed, whatever their names.
    for (const AppItemRef& item : all)
        if (item->kind != AppKind::Bundle || !isAppleApp(paths::deletingExtension(item->name)))
            offered.push_back(item);
    std::lock_guard<std::mutex> guard(lock_);
    allTheApplicationPath_ = std::move(all);
    apps_ = std::move(offered);
}

void SearchApplications::setDone() {
    {
        std::lock_guard<std::mutex> guard(waitMutex_);
        done_ = true;
    }
    waitCv_.notify_all();
}

bool SearchApplications::done() const {
    std::lock_guard<std::mutex> guard(waitMutex_);
    return done_;
}

void SearchApplications::waitFinish() {
    std::unique_lock<std::mutex> guard(waitMutex_);
    bStop_ = false;
    waitCv_.wait(guard, [this] { return done_ || bStop_; });
}

void SearchApplications::stopWait() {
    {
        std::lock_guard<std::mutex> guard(waitMutex_);
        bStop_ = true;
    }
    waitCv_.notify_all();
}

std::optional<PlistValue::Array> SearchApplications::dockApps() const {
    std::lock_guard<std::mutex> guard(lock_);
    return dockApps_;
}

void SearchApplications::setDockApps(std::optional<PlistValue::Array> apps) {
    std::lock_guard<std::mutex> guard(lock_);
    dockApps_ = std::move(apps);
}

std::int64_t SearchApplications::directorySize(const std::string& path) {
    return tessaly::directorySize(path);
}

void SearchApplications::searchKind(const std::vector<std::string>& folders, const std::string& key,
                                    bool keepSystem, AppItemList SearchApplications::*list) {
    AppItemList items;
    for (const std::string& folder : folders) {
        DirectoryReader reader(folder);
        if (!reader.isOpen())
            continue;
        while (reader.next()) {
            std::string name = reader.name();
            if (reader.isSymlink() || paths::extension(name).find(key) == std::string::npos)
                continue;
            std::string path = paths::join(folder, name);
            AppItemRef item =
                appItemFromBundle(path, paths::deletingExtension(fileattr::displayName(path)));
            if (item->isSystemApp && !keepSystem)
                continue;
            items.push_back(std::move(item));
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    this->*list = std::move(items);
}

AppItemList SearchApplications::snapshot(const AppItemList& list) const {
    std::lock_guard<std::mutex> guard(lock_);
    return list;
}

void SearchApplications::searchPlugIns() {
    searchKind({paths::join(paths::homePath(), "Library/Internet Plug-Ins"),
                paths::systemPath("/Library/Internet Plug-Ins")},
               "plugin", false, &SearchApplications::plugins_);
}

void SearchApplications::searchWidgets() {
    searchKind(
        {paths::join(paths::homePath(), "Library/Widgets"), paths::systemPath("/Library/Widgets")},
        "wdgt", true, &SearchApplications::widgets_);
}

void SearchApplications::searchPreferences() {
    searchKind({paths::systemPath("/Library/PreferencePanes"),
                paths::join(paths::homePath(), "Library/PreferencePanes")},
               "prefPane", false, &SearchApplications::preferences_);
}

void SearchApplications::searchApplicationsOther() {
    searchPlugIns();
    searchWidgets();
    searchPreferences();
}

AppItemList SearchApplications::allApplications() const {
    return snapshot(allTheApplicationPath_);
}

AppItemList SearchApplications::allApplicationsForUninstall() const {
    return snapshot(apps_);
}

AppItemList SearchApplications::allPlugins() const {
    return snapshot(plugins_);
}

AppItemList SearchApplications::allWidgets() const {
    return snapshot(widgets_);
}

AppItemList SearchApplications::allPreferences() const {
    return snapshot(preferences_);
}

std::vector<AppItemList> SearchApplications::uninstallLists() const {
    std::lock_guard<std::mutex> guard(lock_);
    return {apps_, widgets_, plugins_, preferences_};
}

void SearchApplications::dropItems(const AppItemList& gone) {
    if (gone.empty())
        return;
    auto without = [&gone](const AppItemList& list) {
        AppItemList kept;
        for (const AppItemRef& item : list)
            if (std::find(gone.begin(), gone.end(), item) == gone.end())
                kept.push_back(item);
        return kept;
    };
    std::lock_guard<std::mutex> guard(lock_);
    for (AppItemList* list : {&allTheApplicationPath_, &apps_, &widgets_, &plugins_, &preferences_})
        *list = without(*list);
}

} // namespace tessaly
