#include "app/BrowserDetailSource.h"

#include "ScanCode/browser/BroswerManager.h"
#include "app/common/ScanItemTree.h"
#include "model/CommonFunction.h"

namespace tessaly {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// The record at a path of a module's list: a top-level record, or a visit of a day.
ScanItem recordAt(const ScanItemListRef& list, const ItemPath& path) {
    if (!list || path.empty() || path.size() > 2 || path[0] < 0 ||
        path[0] >= static_cast<int>(list->size()))
        return nullptr;
    ScanItem item = (*list)[static_cast<std::size_t>(path[0])];
    if (path.size() == 1)
        return item;
    if (!item->subObjects || path[1] < 0 || path[1] >= static_cast<int>(item->subObjects->size()))
        return nullptr;
    return (*item->subObjects)[static_cast<std::size_t>(path[1])];
}

} // namespace

BrowserDetailSource::BrowserDetailSource(BroswerManager& manager) : manager_(manager) {
    setBrowser(browser::Safari);
}

void BrowserDetailSource::setBrowser(int browser) {
    browser_ = browser;
    modules_ = browser::modulesOfBrowser(browser);
}

int BrowserDetailSource::preferredBrowser(const std::array<std::int64_t, 3>& items) {
    if (items[0] == items[1] && items[1] == items[2])
        return browser::Safari;
    int best = browser::Firefox;
    for (int b : {browser::Chrome, browser::Safari})
        if (items[static_cast<std::size_t>(b)] > items[static_cast<std::size_t>(best)])
            best = b;
    return best;
}

void BrowserDetailSource::setLeft(const std::vector<LeftItem>& left) {
    left_.clear();
    for (const LeftItem& l : left)
        left_.emplace(l.path, l.reason);
}

const std::string& BrowserDetailSource::moduleAt(int category) const {
    return modules_.at(static_cast<std::size_t>(category));
}

int BrowserDetailSource::categoryCount() const {
    return static_cast<int>(modules_.size());
}

DetailCategoryInfo BrowserDetailSource::categoryInfo(int category) const {
    const std::string& module = moduleAt(category);
    DetailCategoryInfo info;
    const auto* m = browser::moduleNamed(module);
    info.icon = m ? m->icon : "";
    info.name = text(module);
    info.value = QString("%1 Items").arg(manager_.dataCount(module));
    auto list = manager_.dataForModule(module);
    info.dimmed = !list || list->empty();
    info.check = list ? checkStateOf(BroswerManager::checkStatus(*list)) : Qt::Unchecked;
    info.emptyText = "There are no unneeded Files to removed";
    return info;
}

int BrowserDetailSource::itemCount(int category, const ItemPath& parent) const {
    auto list = manager_.dataForModule(moduleAt(category));
    if (!list)
        return 0;
    if (parent.empty())
        return static_cast<int>(list->size());
    ScanItem item = parent.size() == 1 ? recordAt(list, parent) : nullptr;
    return item && item->subObjects ? static_cast<int>(item->subObjects->size()) : 0;
}

DetailItemInfo BrowserDetailSource::itemInfo(int category, const ItemPath& path) const {
    DetailItemInfo info;
    ScanItem item = recordAt(manager_.dataForModule(moduleAt(category)), path);
    if (!item)
        return info;
    info.name = text(item->name);
    if (item->subObjects) {
        // A day of history.
        info.date = text(item->dateStr);
        info.check = checkStateOf(BroswerManager::checkStatus(*item->subObjects));
        info.size = QString("%1 Items").arg(item->subObjects->size());
        return info;
    }
    // A page's icon shows once it has loaded; until then the unknown site's.
    info.icon =
        text(item->loading || item->icon.empty() ? std::string("language-icon") : item->icon);
    info.path = text(item->path);
    if (item->fileSize > 0)
        info.size = text(CommonFunction::getSizeString(item->fileSize));
    info.date = text(item->dateStr);
    info.check = item->isCheck ? Qt::Checked : Qt::Unchecked;
    if (item->canotRemove)
        info.status = leftReason(moduleAt(category), *item);
    return info;
}

QString BrowserDetailSource::leftReason(const std::string& module,
                                        const ScaneOuputObject& item) const {
    // A file left names itself; a row of a database or list names its site or page
    // before the reason, beside the other rows of the same file.
    const auto [from, to] = left_.equal_range(manager_.fileOf(module, item));
    const std::string prefix = item.name + ": ";
    for (auto it = from; it != to; ++it) {
        const std::string& reason = it->second;
        if (reason.rfind(prefix, 0) == 0)
            return "Not removed: " + text(reason.substr(prefix.size()));
        if (item.path == it->first)
            return "Not removed: " + text(reason);
    }
    return "Not removed";
}

void BrowserDetailSource::setCategoryCheck(int category, bool check) {
    manager_.setCheck(moduleAt(category), check);
}

void BrowserDetailSource::setItemCheck(int category, const ItemPath& path, bool check) {
    if (ScanItem item = recordAt(manager_.dataForModule(moduleAt(category)), path))
        setLeavesCheck(*item, check);
}

void BrowserDetailSource::sort(int category) {
    if (auto list = manager_.dataForModule(moduleAt(category)))
        sortBySortChoice(*list);
}

} // namespace tessaly
