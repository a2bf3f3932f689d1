#include "ScanCode/system/LoginItemManager.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

namespace tessaly {

namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return text::equalsIgnoringCase(a, b);
}

LoginItem itemFromRecord(const LoginItemRecord& record) {
    LoginItem item;
    item.name = record.name;
    item.hidden = record.hidden;
    item.url = LoginItemsStore::resolve(record.location);
    item.icon = item.url ? *item.url : std::string("broken-login-icon");
    return item;
}

} // namespace

LoginItemManager& LoginItemManager::share() {
    static LoginItemManager* shared = [] {
        auto* m = new LoginItemManager(std::make_shared<LoginItemsStore>(
            paths::join(paths::homePath(), currentLayout().loginItemsList)));
        m->loadData();
        return m;
    }();
    return *shared;
}

LoginItemManager::LoginItemManager(std::shared_ptr<LoginItemsStore> store)
    : store_(std::move(store)) {}

LoginItemManager::~LoginItemManager() {
    store_->setObserver(nullptr);
    *alive_ = false;
}

void LoginItemManager::watchLocked() {
    std::weak_ptr<bool> alive = alive_;
    store_->setObserver([this, alive] {
        auto token = alive.lock();
        if (token && *token)
            updateData(store_->snapshot());
    });
}

void LoginItemManager::rebuildLocked(std::vector<LoginItemRecord> snapshot) {
    snapshot_ = std::move(snapshot);
    data_.clear();
    for (const LoginItemRecord& record : snapshot_)
        data_.push_back(itemFromRecord(record));
}

void LoginItemManager::loadData() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    rebuildLocked(store_->snapshot().value_or(std::vector<LoginItemRecord>{}));
    watchLocked();
}

std::vector<LoginItem> LoginItemManager::loginData() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return data_;
}

void LoginItemManager::updateData(std::optional<std::vector<LoginItemRecord>> snapshot) {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        std::vector<LoginItem> old = std::move(data_);
        rebuildLocked(snapshot.value_or(std::vector<LoginItemRecord>{}));
        for (LoginItem& item : data_)
            for (const LoginItem& before : old)
                if (before.name == item.name) {
                    item.isCheck = before.isCheck;
                    break;
                }
    }
    NotificationCenter::defaultCenter().post(loginItemUpdateNotification);
}

std::vector<LoginItem> LoginItemManager::scanBreakLoginItem() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    loadData();
    std::vector<LoginItem> broken;
    for (const LoginItem& item : data_)
        if (!item.url)
            broken.push_back(item);
    return broken;
}

void LoginItemManager::removeBreakLoginItemFromOuputObjs(const ScanItemList& items) {
    std::vector<LoginItem> loginItems;
    for (const ScanItem& obj : items) {
        if (!obj)
            continue;
        LoginItem item;
        item.name = obj->name;
        item.icon = obj->icon;
        item.isCheck = obj->isCheck;
        loginItems.push_back(std::move(item));
    }
    removeBreakLoginItem(loginItems);
}

void LoginItemManager::removePositionsLocked(const std::vector<std::size_t>& positions) {
    if (positions.empty())
        return;
    std::vector<LoginItemRecord> targets;
    for (std::size_t p : positions)
        targets.push_back(snapshot_[p]);
    if (targets.size() >= 2) {
        store_->setObserver(nullptr);
        for (std::size_t i = 0; i + 1 < targets.size(); ++i)
            store_->remove(targets[i]);
        watchLocked();
    }
    store_->remove(targets.back());
}

void LoginItemManager::removeBreakLoginItem(const std::vector<LoginItem>& items) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<std::size_t> positions;
    std::vector<bool> taken(data_.size(), false);
    // Only entries that are broken now: a working item that shares a broken one's
    // name is never taken for it. Each entry is taken once.
    for (const LoginItem& wanted : items) {
        for (std::size_t p = 0; p < data_.size(); ++p) {
            if (taken[p] || data_[p].name != wanted.name || data_[p].url)
                continue;
            taken[p] = true;
            positions.push_back(p);
            break;
        }
    }
    removePositionsLocked(positions);
}

std::size_t LoginItemManager::loginCount(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::size_t n = 0;
    for (const LoginItem& item : data_)
        n += sameNameIgnoringCase(item.name, name) ? 1 : 0;
    return n;
}

void LoginItemManager::removeLogin(const std::string& name) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (LoginItem& item : data_)
        item.isCheck = sameNameIgnoringCase(item.name, name);
    deleteData();
}

void LoginItemManager::deleteData() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<std::size_t> positions;
    for (std::size_t p = 0; p < data_.size(); ++p)
        if (data_[p].isCheck)
            positions.push_back(p);
    removePositionsLocked(positions);
}

void LoginItemManager::setItemHidden(std::size_t index, bool hidden) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (index < snapshot_.size())
        store_->setHidden(snapshot_[index], hidden);
}

void LoginItemManager::setItemChecked(std::size_t index, bool check) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (index < data_.size())
        data_[index].isCheck = check;
}

} // namespace tessaly
