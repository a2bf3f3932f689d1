#pragma once

#include "ScanCode/system/LoginItem.h"
#include "model/ScaneOuputObject.h"
#include "platform/LoginItemsStore.h"

#include <memory>
#include <mutex>
#include <vector>

namespace tessaly {

// "loginItemUpdate": posted (object none) after the login-items list changed and
// the manager's copy was rebuilt.
inline constexpr const char* loginItemUpdateNotification = "loginItemUpdate";

// Keeps a live copy of the user's session login items and removes broken ones.
// Position i of data() is entry i of the current snapshot of the list. Every
// operation holds the manager's lock while it reads or changes these.
class LoginItemManager {
public:
    // The shared manager on the user's list; created and loaded on first use.
    static LoginItemManager& share();

    explicit LoginItemManager(std::shared_ptr<LoginItemsStore> store);
    ~LoginItemManager();
    LoginItemManager(const LoginItemManager&) = delete;
    LoginItemManager& operator=(const LoginItemManager&) = delete;

    // Takes a snapshot of the list, rebuilds data from it and watches the list,
    // so that a change calls updateData.
    void loadData();
    std::vector<LoginItem> loginData() const;
    // Change callback: replaces the snapshot, rebuilds data keeping the tick of
    // every entry whose name an old entry had, and posts "loginItemUpdate".
    void updateData(std::optional<std::vector<LoginItemRecord>> snapshot);

    // Reloads and returns the entries without a resolvable location.
    std::vector<LoginItem> scanBreakLoginItem();
    // Removes the login items named by the result items (their name is the login
    // item's display name).
    void removeBreakLoginItemFromOuputObjs(const ScanItemList& items);
    // Removes the given broken items from the list, matched by name (the last one
    // also by having no location).
    void removeBreakLoginItem(const std::vector<LoginItem>& items);

    // Entries with that name, ignoring case.
    std::size_t loginCount(const std::string& name) const;
    // Ticks exactly the entries with that name (ignoring case) and deletes them.
    void removeLogin(const std::string& name);
    // Removes every ticked entry from the list.
    void deleteData();
    void setItemHidden(std::size_t index, bool hidden);
    void setItemChecked(std::size_t index, bool check);

    LoginItemsStore& store() { return *store_; }

private:
    void rebuildLocked(std::vector<LoginItemRecord> snapshot);
    void watchLocked();
    // Removes the snapshot entries at the positions: all but the last unwatched,
    // the last watched, so a batch causes one rebuild.
    void removePositionsLocked(const std::vector<std::size_t>& positions);

    std::shared_ptr<LoginItemsStore> store_;
    std::vector<LoginItemRecord> snapshot_;
    std::vector<LoginItem> data_;
    mutable std::recursive_mutex lock_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace tessaly
