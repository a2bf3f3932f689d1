#include "app/SystemDetailSource.h"

#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "app/common/DetailText.h"
#include "app/common/ScanItemTree.h"
#include "model/CommonFunction.h"
#include "platform/Paths.h"

#include <algorithm>
#include <set>

namespace tessaly {

namespace {

Qt::CheckState checkState(int status) {
    return status == 2 ? Qt::Checked : status == 1 ? Qt::PartiallyChecked : Qt::Unchecked;
}

// A row of the list: an item of the engine, or one of the folders of an item that
// stands for several (folder >= 0).
struct Node {
    ScanItem item;
    int folder = -1;
};

bool opensOntoFolders(const ScanItem& item) {
    return !item->hasChildren() && item->removePaths.size() > 1;
}

Node nodeAt(const ScanItemListRef& list, const ItemPath& path) {
    if (!list || path.empty() || path[0] < 0 || path[0] >= static_cast<int>(list->size()))
        return {};
    Node node{(*list)[static_cast<std::size_t>(path[0])]};
    for (std::size_t level = 1; level < path.size(); ++level) {
        const int i = path[level];
        if (node.folder >= 0 || i < 0)
            return {};
        if (node.item->hasChildren()) {
            if (i >= static_cast<int>(node.item->subObjects->size()))
                return {};
            node.item = (*node.item->subObjects)[static_cast<std::size_t>(i)];
        } else if (opensOntoFolders(node.item) &&
                   i < static_cast<int>(node.item->removePaths.size())) {
            node.folder = i;
        } else {
            return {};
        }
    }
    return node;
}

} // namespace

SystemDetailSource::SystemDetailSource(QSVCleanManager& manager) : manager_(manager) {}

void SystemDetailSource::reload(std::vector<int> scanned, bool interrupted) {
    scanned_ = std::move(scanned);
    interrupted_ = interrupted;
    std::set<int> modules(scanned_.begin(), scanned_.end());
    for (const auto& entry : manager_.discData())
        modules.insert(entry.first);
    std::vector<ModuleData> rows;
    for (int m : modules)
        rows.push_back(manager_.moduleData(m));
    std::stable_sort(rows.begin(), rows.end(), [](const ModuleData& a, const ModuleData& b) {
        return a.compare(b) == OrderedAscending;
    });
    modules_.clear();
    for (const ModuleData& d : rows)
        modules_.push_back(static_cast<int>(d.module));
    for (int category = 0; category < categoryCount(); ++category)
        sort(category);
}

void SystemDetailSource::setLeft(const std::vector<LeftItem>& left) {
    left_.clear();
    for (const LeftItem& l : left)
        left_.emplace(l.path, l.reason);
}

QString SystemDetailSource::leftReason(const std::string& path) const {
    auto it = left_.find(path);
    return it == left_.end() ? QString() : notRemovedText(it->second);
}

int SystemDetailSource::categoryCount() const {
    return static_cast<int>(modules_.size());
}

QString SystemDetailSource::moduleValue(int module, bool* dimmed) const {
    if (dimmed)
        *dimmed = false;
    ModuleData d = manager_.moduleData(module);
    if (d.size > 0)
        return sizeText(d.size);
    if (d.sizeNoCheck > 0) {
        if (dimmed)
            *dimmed = true;
        return manager_.hasCheck(module) ? QString() : sizeText(d.sizeNoCheck);
    }
    if (d.issueCountNoCheck == 0)
        return QString();
    if (module == sysmodule::BrokenLoginItems)
        return QString("%1 issues").arg(d.issueCount);
    return QString("%1 files").arg(d.issueCount);
}

DetailCategoryInfo SystemDetailSource::categoryInfo(int category) const {
    const int module = moduleAt(category);
    DetailCategoryInfo info;
    info.name = qtext(QSVCleanManager::convertModule(module));
    info.value = moduleValue(module, &info.dimmed);
    auto list = manager_.moduleItems(module);
    const bool empty = !list || list->empty();
    const bool complete = manager_.bScanFinsh(module);
    if (empty || !complete)
        info.icon = complete ? "chek" : "iconWarning";
    else
        info.icon = qtext(QSVCleanManager::convertImageModule(module));
    info.dimmed = info.dimmed || empty;
    info.check = list ? checkState(QSVCleanManager::checkStatus(*list)) : Qt::Unchecked;
    info.emptyText = interrupted_ && !complete
                         ? "Scan was interrupted before this section has been completely"
                         : "There are no unneeded Files to removed";
    return info;
}

int SystemDetailSource::itemCount(int category, const ItemPath& parent) const {
    auto list = manager_.moduleItems(moduleAt(category));
    if (!list)
        return 0;
    if (parent.empty())
        return static_cast<int>(list->size());
    Node node = nodeAt(list, parent);
    if (!node.item || node.folder >= 0)
        return 0;
    if (node.item->hasChildren())
        return static_cast<int>(node.item->subObjects->size());
    return opensOntoFolders(node.item) ? static_cast<int>(node.item->removePaths.size()) : 0;
}

DetailItemInfo SystemDetailSource::itemInfo(int category, const ItemPath& path) const {
    DetailItemInfo info;
    Node node = nodeAt(manager_.moduleItems(moduleAt(category)), path);
    const ScanItem& item = node.item;
    if (!item)
        return info;
    if (node.folder >= 0) {
        // One of the folders that go with the item above (a localisation).
        const auto i = static_cast<std::size_t>(node.folder);
        const std::string& p = item->removePaths[i];
        info.icon = qtext(p);
        info.name = qtext(paths::lastComponent(p));
        info.path = qtext(p);
        if (i < item->removeSizes.size() && item->removeSizes[i] > 0)
            info.size = sizeText(item->removeSizes[i]);
        info.status = leftReason(p);
        info.checkable = false;
        return info;
    }
    info.icon = qtext(item->icon);
    info.name = qtext(item->name);
    // An item standing for several folders is not its own path: those folders
    // are listed under it.
    if (!opensOntoFolders(item))
        info.path = qtext(item->removePaths.empty() ? item->path : item->removePaths.front());
    if (item->fileSize > 0)
        info.size = sizeText(item->fileSize);
    if (item->hasChildren()) {
        info.check = checkState(QSVCleanManager::checkStatus(*item->subObjects));
        return info;
    }
    info.check = item->isCheck ? Qt::Checked : Qt::Unchecked;
    std::vector<std::string> paths{item->path, item->prePath};
    paths.insert(paths.end(), item->removePaths.begin(), item->removePaths.end());
    for (const std::string& p : paths)
        if (info.status.isEmpty() && !p.empty())
            info.status = leftReason(p);
    if (info.status.isEmpty() && !item->reason.empty())
        info.status = qtext(item->reason); // why a rule left it unticked
    return info;
}

void SystemDetailSource::setCategoryCheck(int category, bool check) {
    manager_.setCheck(moduleAt(category), check);
}

void SystemDetailSource::setItemCheck(int category, const ItemPath& path, bool check) {
    Node node = nodeAt(manager_.moduleItems(moduleAt(category)), path);
    const ScanItem& item = node.item;
    if (!item || node.folder >= 0)
        return;
    setLeavesCheck(*item, check);
}

void SystemDetailSource::sort(int category) {
    auto list = manager_.moduleItems(moduleAt(category));
    if (!list)
        return;
    sortBySortChoice(*list);
}

} // namespace tessaly
