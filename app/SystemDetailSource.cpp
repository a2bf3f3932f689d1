#include "app/SystemDetailSource.h"

#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "model/CommonFunction.h"

#include <algorithm>

namespace tessaly {

namespace {

Qt::CheckState checkState(int status) {
    return status == 2 ? Qt::Checked : status == 1 ? Qt::PartiallyChecked : Qt::Unchecked;
}

QString sizeText(std::int64_t size) {
    return QString::fromStdString(CommonFunction::getSizeString(size));
}

} // namespace

SystemDetailSource::SystemDetailSource(QSVCleanManager& manager) : manager_(manager) {}

void SystemDetailSource::reload() {
    std::vector<ModuleData> rows;
    for (const auto& entry : manager_.discData())
        rows.push_back(manager_.moduleData(entry.first));
    std::stable_sort(rows.begin(), rows.end(), [](const ModuleData& a, const ModuleData& b) {
        return a.compare(b) == OrderedAscending;
    });
    modules_.clear();
    for (const ModuleData& d : rows)
        modules_.push_back(static_cast<int>(d.module));
    for (int category = 0; category < categoryCount(); ++category)
        sort(category);
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
    info.name = QString::fromStdString(QSVCleanManager::convertModule(module));
    info.value = moduleValue(module, &info.dimmed);
    auto list = manager_.moduleItems(module);
    bool empty = !list || list->empty();
    if (empty)
        info.icon = manager_.bScanFinsh(module) ? "chek" : "iconWarning";
    else
        info.icon = QString::fromStdString(QSVCleanManager::convertImageModule(module));
    info.check = list ? checkState(QSVCleanManager::checkStatus(*list)) : Qt::Unchecked;
    info.emptyText = "No items";
    return info;
}

namespace {

ScanItem itemAt(const ScanItemListRef& list, const ItemPath& path) {
    if (!list || path.empty() || path[0] < 0 || path[0] >= static_cast<int>(list->size()))
        return nullptr;
    ScanItem top = (*list)[static_cast<std::size_t>(path[0])];
    if (path.size() == 1)
        return top;
    if (!top->subObjects || path[1] < 0 || path[1] >= static_cast<int>(top->subObjects->size()))
        return nullptr;
    return (*top->subObjects)[static_cast<std::size_t>(path[1])];
}

} // namespace

int SystemDetailSource::itemCount(int category, const ItemPath& parent) const {
    auto list = manager_.moduleItems(moduleAt(category));
    if (!list)
        return 0;
    if (parent.empty())
        return static_cast<int>(list->size());
    ScanItem item = parent.size() == 1 ? itemAt(list, parent) : nullptr;
    return item && item->subObjects ? static_cast<int>(item->subObjects->size()) : 0;
}

DetailItemInfo SystemDetailSource::itemInfo(int category, const ItemPath& path) const {
    DetailItemInfo info;
    ScanItem item = itemAt(manager_.moduleItems(moduleAt(category)), path);
    if (!item)
        return info;
    info.icon = QString::fromStdString(item->icon);
    info.name = QString::fromStdString(item->name);
    info.path = QString::fromStdString(item->path);
    if (item->fileSize > 0)
        info.size = sizeText(item->fileSize);
    if (item->hasChildren())
        info.check = checkState(QSVCleanManager::checkStatus(*item->subObjects));
    else
        info.check = item->isCheck ? Qt::Checked : Qt::Unchecked;
    return info;
}

void SystemDetailSource::setCategoryCheck(int category, bool check) {
    manager_.setCheck(moduleAt(category), check);
}

void SystemDetailSource::setItemCheck(int category, const ItemPath& path, bool check) {
    ScanItem item = itemAt(manager_.moduleItems(moduleAt(category)), path);
    if (!item)
        return;
    if (item->hasChildren())
        for (const ScanItem& child : *item->subObjects)
            child->isCheck = check;
    else
        item->isCheck = check;
}

void SystemDetailSource::sort(int category) {
    auto list = manager_.moduleItems(moduleAt(category));
    if (!list)
        return;
    auto bySort = [](const ScanItem& a, const ScanItem& b) { return a->compareWithSort(*b); };
    sortUsing(*list, bySort);
    for (const ScanItem& item : *list)
        if (item->subObjects)
            sortUsing(*item->subObjects, bySort);
}

} // namespace tessaly
