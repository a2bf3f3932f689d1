#pragma once

// The user's session login items: the applications opened at login.
//
// They are kept, as on macOS, in the property list
// home + "Library/Preferences/com.apple.loginitems.plist":
//
//   SessionItems (dictionary)
//     Controller       "CustomListItems"
//     CustomListItems  array of dictionaries, one per login item, in list order:
//       Name      string   the display name
//       Location  string   absolute path of the item (a "file://" URL is accepted)
//       Hidden    boolean  hide on launch (absent: false)
//
// Other keys are kept as they are when the list is rewritten. Locations are
// resolved without mounting anything: an item on a volume under "/Volumes" that
// is not present is unresolved. Changes made by other programs are noticed by
// watching the file; changes made through this store are reported at once.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessaly {

// One login item as the list holds it.
struct LoginItemRecord {
    std::string name;
    std::string location; // as stored
    bool hidden = false;

    bool operator==(const LoginItemRecord& o) const {
        return name == o.name && location == o.location && hidden == o.hidden;
    }
};

class LoginItemsStore {
public:
    // The list of the current home: home + "Library/Preferences/com.apple.loginitems.plist".
    static std::string defaultPath();

    explicit LoginItemsStore(std::string path);
    ~LoginItemsStore();
    LoginItemsStore(const LoginItemsStore&) = delete;
    LoginItemsStore& operator=(const LoginItemsStore&) = delete;

    const std::string& path() const { return path_; }

    // The items in list order. A missing file is an empty list; none when the file
    // exists but is not a readable login-items list.
    std::optional<std::vector<LoginItemRecord>> snapshot() const;

    // Removes the first item equal to the given one. False when there is none or
    // the list could not be written.
    bool remove(const LoginItemRecord& item);
    // Appends an item.
    bool add(const LoginItemRecord& item);
    // Sets the hide-on-launch flag of the first item equal to the given one.
    bool setHidden(const LoginItemRecord& item, bool hidden);

    // Where the item's location leads, when something is there now; none otherwise.
    // A location inside the home folder is taken as it is, any other absolute
    // location under the system root. Nothing is ever mounted.
    static std::optional<std::string> resolve(const std::string& location);

    // Watching: the observer runs on the main queue after each change of the list,
    // whoever made it. Setting an empty observer stops the reports (the watch
    // stays, so a change made meanwhile is not reported later).
    void setObserver(std::function<void()> observer);
    bool observing() const;

private:
    struct Stamp {
        std::int64_t mtimeNs = -1, size = -1;
        std::uint64_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp currentStamp() const;
    bool rewrite(const std::function<bool(std::vector<LoginItemRecord>&)>& change);
    void notifyLocked();
    void watch();

    std::string path_;
    mutable std::mutex mutex_;
    std::function<void()> observer_;
    Stamp seen_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::thread watcher_;
};

} // namespace tessaly
