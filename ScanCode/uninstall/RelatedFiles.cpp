// The related-file search: what belongs to an application outside its bundle.
#include "ScanCode/uninstall/NameMatch.h"
#include "ScanCode/uninstall/RelatedFolders.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "model/KeptPaths.h"
#include "model/Problem.h"
#include "platform/DirectoryReader.h"
#include "platform/LoginItemsStore.h"
#include "platform/Paths.h"

#include <algorithm>
#include <functional>
#include <set>

namespace tessaly {

namespace {

std::string inHome(const char* relative) {
    return paths::join(paths::homePath(), relative);
}

// Lists the direct entries of a folder; one that cannot be read (but exists) is
// reported to the scan.
void eachEntry(const std::string& folder, const std::function<void(DirectoryReader&)>& visit) {
    DirectoryReader reader(folder);
    if (!reader.isOpen())
        ProblemCollector::reportUnreadable(folder, reader.openError());
    while (reader.next())
        visit(reader);
}

bool listed(const std::vector<std::string>& folders, const std::string& folder) {
    return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// Whether a path is one of the searched folders or holds one: a name that
// happens to equal the word ("Preferences", "Caches") never takes a whole folder
// the search looks into.
bool holdsSearchedFolder(const std::string& path, const std::vector<std::string>& searched) {
    for (const std::string& folder : searched)
        if (folder == path || paths::isInside(folder, path))
            return true;
    return false;
}

SubAppFileRef fileRecord(const std::string& path, std::int64_t size) {
    auto record = std::make_shared<SubAppFileObj>();
    record->path = path;
    record->size = size;
    record->type = subfile::File;
    record->stamp = fileattr::stampOf(fileattr::entryInfo(path), /*contents=*/false);
    return record;
}

} // namespace

std::vector<std::string> relatedFileFolders(bool withJobFolders) {
    std::vector<std::string> folders = {
        inHome("Library"),
        inHome("Library/Preferences"),
        inHome("Library/Caches"),
        inHome("Library/Containers"),
        inHome("Library/Application Support/CrashReporter"),
        inHome("Library/Saved Application State"),
    };
    if (withJobFolders)
        folders.push_back(inHome("Library/LaunchAgents"));
    for (const char* folder :
         {"Library/Logs/CrashReporter", "Library/Logs", "Library/Logs/DiagnosticReports"})
        folders.push_back(inHome(folder));
    folders.push_back(paths::systemPath("/Library"));
    folders.push_back(paths::systemPath("/Library/StartupItems"));
    if (withJobFolders) {
        folders.push_back(paths::systemPath("/Library/LaunchDaemons"));
        folders.push_back(paths::systemPath("/Library/LaunchAgents"));
    }
    folders.push_back(paths::systemPath("/Library/Documentation/Applications"));
    folders.push_back(paths::systemPath("/Library/Application Support"));
    return folders;
}

std::string supportFilesFolder() {
    return inHome("Library/Application Support");
}

std::vector<std::string> temporaryFoldersOf(const std::string& temporaryFolder) {
    std::string folder = temporaryFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string parent = paths::deletingLastComponent(folder);
    if (paths::lastComponent(folder) == "T")
        return {folder, paths::join(parent, "C")};
    if (paths::lastComponent(parent) == "T")
        return {parent, paths::join(paths::deletingLastComponent(parent), "C")};
    return {folder};
}

std::vector<std::string> SearchApplications::temporaryFolders() const {
    return temporaryFoldersOf(env_.temporaryFolder ? env_.temporaryFolder() : "/tmp");
}

std::vector<std::string> SearchApplications::getCommonFilesByBundleAndKeyWords(
    const std::string& bundleID, const std::string& word,
    const std::vector<std::string>& folders) const {
    const namematch::AppNames names{bundleID, word, {}};
    std::vector<std::string> found;
    for (const std::string& folder : folders)
        eachEntry(folder, [&](DirectoryReader& entry) {
            if (namematch::namedFor(entry.name(), names))
                found.push_back(paths::join(folder, entry.name()));
        });
    return found;
}

std::vector<std::string> SearchApplications::getSupportFilesByBundleAndKeyWords(
    const std::string& bundleID, const std::string& word, const std::string& folder, bool roop,
    const std::string& bundleName) const {
    const namematch::AppNames names{bundleID, word, bundleName};
    std::vector<std::string> found;
    eachEntry(folder, [&](DirectoryReader& entry) {
        const std::string name = entry.name();
        const std::string path = paths::join(folder, name);
        if (namematch::supportNamedFor(name, names)) {
            found.push_back(path);
        } else if (roop && entry.isDirectory() && namematch::makerFolderOf(name, names)) {
            // A maker's folder: what inside it carries the application's names.
            for (std::string& inner :
                 getSupportFilesByBundleAndKeyWords(bundleID, word, path, false, bundleName))
                found.push_back(std::move(inner));
        }
    });
    return found;
}

std::vector<std::string>
SearchApplications::getPrivateByBundleAndKeyWords(const std::string& bundleID,
                                                  const std::vector<std::string>& folders) const {
    const namematch::AppNames names{bundleID, {}, {}};
    std::vector<std::string> found;
    for (const std::string& folder : folders)
        eachEntry(folder, [&](DirectoryReader& entry) {
            if (namematch::temporaryNamedFor(entry.name(), names))
                found.push_back(paths::join(folder, entry.name()));
        });
    return found;
}

std::string SearchApplications::loginItemsFile() const {
    return env_.loginItemsPath ? env_.loginItemsPath() : LoginItemsStore::defaultPath();
}

std::optional<LoginItemRecord> SearchApplications::loginItemNamed(const LoginItemsStore& store,
                                                                  const std::string& name) {
    auto items = store.snapshot();
    if (items)
        for (const LoginItemRecord& item : *items)
            if (item.name == name)
                return item;
    return std::nullopt;
}

bool SearchApplications::hasLogin(const std::string& name) const {
    return loginItemNamed(LoginItemsStore(loginItemsFile()), name).has_value();
}

std::optional<PlistValue> SearchApplications::hasDickIcon(const std::string& key) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (!dockApps_)
        return std::nullopt;
    auto at = findDockTile(*dockApps_, key);
    if (!at)
        return std::nullopt;
    return (*dockApps_)[*at];
}

std::vector<std::string> SearchApplications::relatedPaths(const namematch::AppNames& names,
                                                          bool withJobFolders) const {
    const std::string& bundleID = names.identifier;
    const std::string& word = names.word;
    const std::vector<std::string> common = relatedFileFolders(withJobFolders);
    const std::vector<std::string> temporary = temporaryFolders();
    std::vector<std::string> found = getCommonFilesByBundleAndKeyWords(bundleID, word, common);
    for (std::string& path : getSupportFilesByBundleAndKeyWords(
             bundleID, word, supportFilesFolder(), true, names.bundleName))
        found.push_back(std::move(path));
    for (std::string& path : getPrivateByBundleAndKeyWords(bundleID, temporary))
        found.push_back(std::move(path));

    std::vector<std::string> searched = common;
    searched.push_back(supportFilesFolder());
    searched.insert(searched.end(), temporary.begin(), temporary.end());
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (std::string& path : found)
        if (!holdsSearchedFolder(path, searched) && seen.insert(path).second)
            out.push_back(std::move(path));
    return out;
}

namematch::AppNames SearchApplications::namesOf(const AppItem& item) {
    return {item.bundleID, item.executableString.empty() ? item.name : item.executableString,
            paths::deletingExtension(paths::lastComponent(item.path))};
}

std::optional<std::string> SearchApplications::claimedElsewhere(const std::string& path,
                                                                const AppItem& item) const {
    const std::string folder = paths::deletingLastComponent(path);
    const std::string name = paths::lastComponent(path);
    const std::string support = supportFilesFolder();
    const bool inCommon = listed(relatedFileFolders(true), folder);
    const bool inSupport = folder == support;
    const bool inMakerFolder = paths::deletingLastComponent(folder) == support;
    const bool inTemporary = listed(temporaryFolders(), folder);
    for (const AppItemList& list :
         {allApplications(), allPlugins(), allWidgets(), allPreferences()})
        for (const AppItemRef& other : list) {
            // One that goes in the same removal takes nothing from this one.
            if (other->path == item.path || other->isSelected == 2)
                continue;
            const namematch::AppNames names = namesOf(*other);
            if ((inCommon && namematch::namedFor(name, names)) ||
                (inSupport && namematch::supportNamedFor(name, names)) ||
                (inMakerFolder && namematch::makerFolderOf(paths::lastComponent(folder), names) &&
                 namematch::supportNamedFor(name, names)) ||
                (inTemporary && namematch::temporaryNamedFor(name, names)))
                return other->name + " (" + other->path + ")";
        }
    return std::nullopt;
}

SubAppFileList SearchApplications::deleteFiles(const AppItem& item) const {
    if (item.kind != AppKind::Bundle)
        return linuxFiles(item);
    const namematch::AppNames names = namesOf(item);
    const std::string& bundleID = item.bundleID;
    const std::string plainName = paths::deletingExtension(item.name);
    SubAppFileList records;

    if (paths::lastComponent(item.name).find("Tessaly") != std::string::npos) {
        // Our own entry: only the bundle; the program removes itself otherwise.
        records.push_back(fileRecord(item.path, itemSize(item.path)));
    } else {
        std::vector<std::string> found = relatedPaths(names, /*withJobFolders=*/true);
        SubAppFileList jobs =
            searchAppServer(item, {inHome("Library/LaunchAgents")}, /*system=*/false);
        for (SubAppFileRef& job : searchAppServer(item,
                                                  {paths::systemPath("/Library/LaunchDaemons"),
                                                   paths::systemPath("/Library/LaunchAgents")},
                                                  /*system=*/true))
            jobs.push_back(std::move(job));

        // A job's property list is its job record's: unloaded, then removed.
        std::set<std::string> taken{item.path};
        for (const SubAppFileRef& job : jobs)
            taken.insert(job->path);
        for (const std::string& path : found)
            if (taken.insert(path).second) {
                records.push_back(fileRecord(path, itemSize(path)));
                // What another installed application goes by too may be its own.
                if (auto other = claimedElsewhere(path, item))
                    records.back()->keptReason = "it could belong to " + *other + " too";
            }
        records.push_back(fileRecord(item.path, itemSize(item.path)));
        sortUsing(records,
                  [](const SubAppFileRef& a, const SubAppFileRef& b) { return a->compare(*b); });

        auto entry = [&](std::int64_t type, const std::string& title, const std::string& key) {
            auto record = std::make_shared<SubAppFileObj>();
            record->type = type;
            record->path = plainName + title;
            record->entryName = key;
            record->icon = item.image;
            records.push_back(std::move(record));
        };
        if (hasLogin(plainName))
            entry(subfile::LoginItem, " Login Item", plainName);
        const std::string dockKey = bundleID.empty() ? plainName : bundleID;
        if (hasDickIcon(dockKey))
            entry(subfile::DockEntry, " Dock Icon", dockKey);
        records.insert(records.end(), jobs.begin(), jobs.end());
    }
    for (const SubAppFileRef& record : records)
        record->isCheck = item.isSelected == 2 && record->keptReason.empty();
    return records;
}

namespace {

// Takes out what the user keeps and leaves unticked, with the reason, a record
// whose removal would take a kept path with it. Records that are not files
// (login items, dock tiles, packages, file-type choices) are left as they are.
SubAppFileList withoutKept(SubAppFileList records, const KeptPaths& kept) {
    if (kept.empty())
        return records;
    SubAppFileList out;
    for (SubAppFileRef& record : records) {
        const bool onDisk = record->type == subfile::File || record->type == subfile::LaunchJob;
        if (onDisk && kept.covers(record->path))
            continue;
        if (onDisk && kept.holds(record->path)) {
            record->keptReason = kHoldsKeptPathReason;
            record->isCheck = false;
        }
        out.push_back(std::move(record));
    }
    return out;
}

} // namespace

SubAppFileListRef SearchApplications::relatedFiles(const AppItemRef& item) {
    if (!item->fileDatas)
        item->fileDatas =
            std::make_shared<SubAppFileList>(withoutKept(deleteFiles(*item), KeptPaths::current()));
    return item->fileDatas;
}

} // namespace tessaly
