#include "platform/LoginItemsStore.h"

#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <chrono>
#include <sys/stat.h>

namespace tessaly {

namespace {

constexpr const char* kSessionItems = "SessionItems";
constexpr const char* kCustomListItems = "CustomListItems";
constexpr auto kWatchInterval = std::chrono::milliseconds(200);

std::optional<PlistValue> readRoot(const std::string& path) {
    if (!fileops::itemExists(path))
        return PlistValue(PlistValue::Dict{});
    auto root = plist::readFile(path);
    if (!root || !root->isDict())
        return std::nullopt;
    return root;
}

std::optional<std::vector<LoginItemRecord>> recordsOf(const PlistValue& root) {
    std::vector<LoginItemRecord> out;
    const PlistValue* session = root.find(kSessionItems);
    if (!session)
        return out;
    const PlistValue* list = session->find(kCustomListItems);
    if (!session->isDict() || (list && !list->isArray()))
        return std::nullopt;
    if (!list)
        return out;
    for (const PlistValue& entry : *list->array()) {
        if (!entry.isDict())
            continue;
        LoginItemRecord r;
        r.name = entry.stringForKey("Name");
        r.location = entry.stringForKey("Location");
        const PlistValue* hidden = entry.find("Hidden");
        r.hidden = hidden && hidden->toBool(false);
        out.push_back(std::move(r));
    }
    return out;
}

PlistValue::Array arrayOf(const std::vector<LoginItemRecord>& records) {
    PlistValue::Array out;
    for (const LoginItemRecord& r : records) {
        PlistValue::Dict d;
        d["Name"] = PlistValue(r.name);
        d["Location"] = PlistValue(r.location);
        d["Hidden"] = PlistValue(r.hidden);
        out.emplace_back(std::move(d));
    }
    return out;
}

} // namespace

std::string LoginItemsStore::defaultPath() {
    return paths::join(paths::homePath(), "Library/Preferences/com.apple.loginitems.plist");
}

LoginItemsStore::LoginItemsStore(std::string path) : path_(std::move(path)) {
    seen_ = currentStamp();
}

LoginItemsStore::~LoginItemsStore() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        quit_ = true;
        observer_ = nullptr;
    }
    wake_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
}

LoginItemsStore::Stamp LoginItemsStore::currentStamp() const {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0)
        return {};
    return {static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_size), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<std::vector<LoginItemRecord>> LoginItemsStore::snapshot() const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto root = readRoot(path_);
    if (!root)
        return std::nullopt;
    return recordsOf(*root);
}

bool LoginItemsStore::rewrite(const std::function<bool(std::vector<LoginItemRecord>&)>& change) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto root = readRoot(path_);
    if (!root)
        return false;
    auto records = recordsOf(*root);
    if (!records || !change(*records))
        return false;
    PlistValue::Dict& top = *root->dict();
    PlistValue::Dict session;
    if (auto it = top.find(kSessionItems); it != top.end() && it->second.isDict())
        session = *it->second.dict();
    session["Controller"] = PlistValue(kCustomListItems);
    session[kCustomListItems] = PlistValue(arrayOf(*records));
    top[kSessionItems] = PlistValue(std::move(session));
    paths::makeDirectories(paths::deletingLastComponent(path_));
    if (!plist::writeFile(path_, *root, plist::Format::Binary))
        return false;
    seen_ = currentStamp();
    notifyLocked();
    return true;
}

bool LoginItemsStore::remove(const LoginItemRecord& item) {
    return rewrite([&](std::vector<LoginItemRecord>& records) {
        for (auto it = records.begin(); it != records.end(); ++it)
            if (*it == item) {
                records.erase(it);
                return true;
            }
        return false;
    });
}

bool LoginItemsStore::add(const LoginItemRecord& item) {
    return rewrite([&](std::vector<LoginItemRecord>& records) {
        records.push_back(item);
        return true;
    });
}

bool LoginItemsStore::setHidden(const LoginItemRecord& item, bool hidden) {
    return rewrite([&](std::vector<LoginItemRecord>& records) {
        for (LoginItemRecord& r : records)
            if (r == item) {
                r.hidden = hidden;
                return true;
            }
        return false;
    });
}

std::optional<std::string> LoginItemsStore::resolve(const std::string& location) {
    std::string path = location;
    if (path.rfind("file://", 0) == 0)
        path = path.substr(7);
    if (path.empty() || path[0] != '/')
        return std::nullopt;
    std::string resolved = paths::recordedPath(path);
    if (!fileops::itemExists(resolved))
        return std::nullopt;
    return resolved;
}

void LoginItemsStore::notifyLocked() {
    if (!observer_)
        return;
    MainQueue::async([observer = observer_] { observer(); });
}

void LoginItemsStore::setObserver(std::function<void()> observer) {
    std::lock_guard<std::mutex> guard(mutex_);
    observer_ = std::move(observer);
    if (observer_ && !watcher_.joinable())
        watcher_ = std::thread([this] { watch(); });
}

bool LoginItemsStore::observing() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<bool>(observer_);
}

void LoginItemsStore::watch() {
    std::unique_lock<std::mutex> guard(mutex_);
    while (!quit_) {
        wake_.wait_for(guard, kWatchInterval, [this] { return quit_; });
        if (quit_)
            break;
        Stamp now = currentStamp();
        if (now == seen_)
            continue;
        seen_ = now;
        notifyLocked();
    }
}

} // namespace tessaly
