#include "ScanCode/system/ScanFileOperation.h"

#include "ScanCode/system/AppIconMatch.h"
#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <set>

namespace tessaly {

namespace {

// The names in one folder at a time, read when first asked for.
class FolderNames {
public:
    const std::set<std::string>& of(const std::string& folder) {
        if (!read_ || folder != folder_) {
            folder_ = folder;
            read_ = true;
            names_.clear();
            DirectoryReader reader(folder);
            while (reader.isOpen() && reader.next())
                names_.insert(reader.name());
        }
        return names_;
    }

private:
    std::string folder_;
    bool read_ = false;
    std::set<std::string> names_;
};

} // namespace

ScanFileOperation::ScanFileOperation(std::shared_ptr<std::vector<ScanInputObject>> places,
                                     std::int32_t moduleId, ScanDelegate* scanDelegate,
                                     SearchApplications* catalogue, KeptPaths kept,
                                     KeptPaths costly)
    : inputObjs(std::move(places)), module(moduleId), delegate(scanDelegate), catalogue_(catalogue),
      kept_(std::move(kept)), costly_(std::move(costly)) {}

void ScanFileOperation::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate, module, [this] { return scanFiles(); });
}

std::int64_t ScanFileOperation::entrySize(const std::string& path,
                                          const fileattr::EntryInfo& info) const {
    return itemSize(path, info, [this] { return cancelled(); });
}

void ScanFileOperation::addScanObj(ScanItemList& out, const std::string& path,
                                   const std::string& name, std::int64_t fileSize, bool isCheck,
                                   bool isDir) {
    auto item = std::make_shared<ScaneOuputObject>();
    item->path = path;
    item->name = name;
    item->fileSize = fileSize;
    item->isCheck = isCheck;
    item->isDir = isDir;
    item->icon = scanItemIcon(module, path, name, applications_);
    out.push_back(std::move(item));
}

void ScanFileOperation::addContainerItems(bool caches, ScanItemList& out) {
    const CleanupLayout& layout = currentLayout();
    if (layout.containers.empty() ||
        (caches ? layout.containerCaches : layout.containerLogs).empty())
        return;
    std::string containers = paths::join(paths::homePath(), layout.containers);
    ScanInputObject ticked;
    ticked.isCheck = true;
    DirectoryReader reader(containers);
    if (!reader.isOpen()) {
        ProblemCollector::reportUnreadable(containers, reader.openError());
        return;
    }
    while (reader.next()) {
        if (cancelled())
            return;
        std::string container = reader.name();
        if (container.empty() || container[0] == '.')
            continue;
        const std::string& inside = caches ? layout.containerCaches : layout.containerLogs;
        std::string folder = paths::join(paths::join(containers, container), inside);
        DirectoryReader entries(folder);
        if (!entries.isOpen()) {
            ProblemCollector::reportUnreadable(folder, entries.openError());
            continue;
        }
        while (entries.next()) {
            std::string name = entries.name();
            if (name[0] == '.')
                continue;
            std::string path = paths::join(folder, name);
            auto info = entries.info();
            if (!info.exists)
                continue;
            addEntry(ticked, path, name, info, out);
        }
    }
}

void ScanFileOperation::addMatchingFiles(const ScanInputObject& place, ScanItemList& out) {
    const CleanupLayout& layout = currentLayout();
    FolderNames names;
    walkFolder(
        place.path,
        [&](const WalkEntry& entry) {
            const std::string name = entry.name();
            if (entry.isDirectory())
                return name[0] == '.' ? WalkDecision::Continue : WalkDecision::Descend;
            auto siblings = [&]() -> const std::set<std::string>& {
                return names.of(entry.parentPath());
            };
            if (name[0] == '.' || entry.isSymlink() || isExcludedEntry(layout, module, name) ||
                !entryMatches(place, name, siblings) || kept_.covers(entry.path()))
                return WalkDecision::Continue;
            const std::string path = entry.path();
            announcePath(delegate, path);
            addScanObj(out, path, name, entrySize(path, entry.info()), place.isCheck, false);
            return WalkDecision::Continue;
        },
        [this] { return cancelled(); });
}

void ScanFileOperation::addCompanion(const ScanInputObject& place, ScaneOuputObject& item) {
    // "../" climbs out of the place itself; "{name}" is the entry's name.
    std::string relative = place.companion;
    std::string base = place.path;
    while (relative.rfind("../", 0) == 0) {
        base = paths::deletingLastComponent(base);
        relative.erase(0, 3);
    }
    const std::string marker = "{name}";
    if (auto at = relative.find(marker); at != std::string::npos)
        relative.replace(at, marker.size(), item.name);
    const std::string companion = paths::join(base, relative);
    auto info = fileattr::entryInfo(companion);
    if (!info.exists || info.isDirectory || info.isSymlink)
        return;
    item.removePaths = {item.path, companion};
    const std::int64_t size = entrySize(companion, info);
    item.removeSizes = {item.fileSize, size};
    item.fileSize += size;
}

bool ScanFileOperation::addEntry(const ScanInputObject& place, const std::string& path,
                                 const std::string& name, const fileattr::EntryInfo& info,
                                 ScanItemList& out) {
    if (kept_.covers(path))
        return false;
    if (info.isDirectory && !info.isSymlink && (kept_.holds(path) || costly_.holds(path))) {
        DirectoryReader reader(path);
        if (!reader.isOpen()) {
            ProblemCollector::reportUnreadable(path, reader.openError());
            return false;
        }
        bool added = false;
        while (reader.next() && !cancelled()) {
            const std::string child = reader.name();
            added =
                addEntry(place, paths::join(path, child), name + "/" + child, reader.info(), out) ||
                added;
        }
        return added;
    }
    const bool costly = costly_.covers(path);
    addScanObj(out, path, name, entrySize(path, info), place.isCheck && !costly, info.isDirectory);
    if (costly)
        out.back()->reason = "costly to restore";
    return true;
}

ScanItemList ScanFileOperation::scanFiles() {
    if (catalogue_)
        applications_ = catalogue_->allApplications();
    ScanItemList out;
    if (module == sysmodule::UserCache)
        addContainerItems(true, out);
    else if (module == sysmodule::UserLog)
        addContainerItems(false, out);
    const CleanupLayout& layout = currentLayout();
    for (const ScanInputObject& place : inputObjs ? *inputObjs : std::vector<ScanInputObject>{}) {
        if (cancelled())
            break;
        auto info = fileattr::entryInfo(place.path);
        if (!info.exists)
            continue;
        if (!info.isDirectory) {
            addEntry(place, place.path, paths::lastComponent(place.path), info, out);
            continue;
        }
        if (place.recursion) {
            addMatchingFiles(place, out);
            continue;
        }
        DirectoryReader reader(place.path);
        if (!reader.isOpen()) {
            ProblemCollector::reportUnreadable(place.path, reader.openError());
            continue;
        }
        FolderNames names;
        auto siblings = [&]() -> const std::set<std::string>& { return names.of(place.path); };
        while (reader.next()) {
            if (cancelled())
                break;
            std::string name = reader.name();
            if (name[0] == '.' || isExcludedEntry(layout, module, name))
                continue;
            std::string path = paths::join(place.path, name);
            announcePath(delegate, path);
            if (!entryMatches(place, name, siblings))
                continue;
            bool isDir = reader.isDirectory();
            if (isDir && place.filesOnly)
                continue;
            if (addEntry(place, path, name, reader.info(), out) && !place.companion.empty())
                addCompanion(place, *out.back());
        }
    }
    sortUsing(out, [](const ScanItem& a, const ScanItem& b) { return a->compare(*b); });
    return out;
}

} // namespace tessaly
