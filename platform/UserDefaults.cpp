#include "platform/UserDefaults.h"

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <list>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr const char* kFileName = "defaults.plist";

std::string backupPath(const std::string& path) {
    return path + ".backup";
}

// Holds an exclusive lock on "<file>.lock" so that processes write one at a time.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FileLock() {
        if (fd_ >= 0)
            ::close(fd_); // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

std::optional<PlistValue::Dict> readDict(const std::string& p) {
    auto v = plist::readFile(p);
    if (!v || !v->isDict())
        return std::nullopt;
    return *v->dict();
}

void moveAside(const std::string& p) {
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    std::string aside = p + ".corrupt-" + stamp;
    if (::rename(p.c_str(), aside.c_str()) == 0)
        log::line("Settings file " + p + " could not be read; moved aside to " + aside);
    else
        log::line("Settings file " + p + " could not be read and could not be moved aside");
}

// Removes temporary files that a writer killed mid-write left behind. Called under
// the write lock, so no other writer is using one.
void removeStaleTemporaries(const std::string& path) {
    std::string dir = paths::deletingLastComponent(path);
    std::string prefixes[] = {paths::lastComponent(path) + ".tmp-",
                              paths::lastComponent(backupPath(path)) + ".tmp-"};
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (auto* e = ::readdir(d)) {
        std::string name = e->d_name;
        for (const auto& prefix : prefixes)
            if (name.rfind(prefix, 0) == 0)
                ::unlink(paths::join(dir, name).c_str());
    }
    ::closedir(d);
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
    // One store per settings file; a store stays alive for the whole run so that
    // references handed out earlier remain valid when the home changes (tests).
    static std::mutex lock;
    static std::list<std::unique_ptr<UserDefaults>> stores;
    std::string path = paths::join(paths::configDir(), kFileName);
    std::lock_guard<std::mutex> guard(lock);
    for (auto& s : stores)
        if (s->path() == path)
            return *s;
    stores.push_back(std::make_unique<UserDefaults>(path));
    return *stores.back();
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {
    std::lock_guard<std::mutex> guard(mutex_);
    values_ = loadFromDisk();
}

PlistValue::Dict UserDefaults::loadFromDisk() {
    if (auto d = readDict(path_))
        return *d;
    bool mainPresent = exists(path_);
    if (mainPresent)
        moveAside(path_);
    if (auto d = readDict(backupPath(path_))) {
        if (mainPresent)
            log::line("Settings restored from " + backupPath(path_));
        return *d;
    }
    if (exists(backupPath(path_)))
        moveAside(backupPath(path_));
    return {};
}

bool UserDefaults::writeLocked() {
    if (!paths::makeDirectories(paths::deletingLastComponent(path_), 0700)) {
        lastError_ = "cannot create " + paths::deletingLastComponent(path_);
        return false;
    }
    FileLock lock(path_);
    removeStaleTemporaries(path_);
    PlistValue::Dict merged = loadFromDisk();
    for (const auto& k : pendingRemovals_)
        merged.erase(k);
    for (const auto& [k, v] : pendingSets_)
        merged.insert_or_assign(k, v);
    PlistValue root(merged);
    auto bytes = plist::serialize(root, plist::Format::Binary);
    if (!bytes) {
        lastError_ = "cannot serialise settings";
        return false;
    }
    // The copy first, then the file itself: whichever write a crash interrupts,
    // the other file holds a whole version.
    std::string error;
    if (!writeFileAtomically(backupPath(path_), bytes->data(), bytes->size(), &error, 0600) ||
        !writeFileAtomically(path_, bytes->data(), bytes->size(), &error, 0600)) {
        lastError_ = error;
        log::line("Settings could not be written: " + error);
        return false;
    }
    pendingSets_.clear();
    pendingRemovals_.clear();
    values_ = std::move(merged);
    lastError_.clear();
    return true;
}

std::optional<PlistValue> UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

bool UserDefaults::boolForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->toBool() : false;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v)
        return 0;
    if (auto s = v->string())
        return std::strtoll(s->c_str(), nullptr, 10);
    return v->toInteger();
}

double UserDefaults::doubleForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v)
        return 0;
    if (auto s = v->string())
        return std::strtod(s->c_str(), nullptr);
    return v->toReal();
}

std::string UserDefaults::stringForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->toString() : std::string();
}

std::optional<Date> UserDefaults::dateForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->date())
        return std::nullopt;
    return *v->date();
}

std::optional<PlistValue::Data> UserDefaults::dataForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->data())
        return std::nullopt;
    return *v->data();
}

std::optional<PlistValue::Array> UserDefaults::arrayForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->array())
        return std::nullopt;
    return *v->array();
}

std::optional<PlistValue::Dict> UserDefaults::dictionaryForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->dict())
        return std::nullopt;
    return *v->dict();
}

std::optional<std::vector<std::string>>
UserDefaults::stringArrayForKey(const std::string& key) const {
    auto a = arrayForKey(key);
    if (!a)
        return std::nullopt;
    std::vector<std::string> out;
    for (const auto& item : *a)
        if (auto s = item.string())
            out.push_back(*s);
    return out;
}

bool UserDefaults::setStringArray(const std::string& key, const std::vector<std::string>& value) {
    PlistValue::Array a;
    a.reserve(value.size());
    for (const auto& s : value)
        a.emplace_back(s);
    return setObject(key, PlistValue(std::move(a)));
}

bool UserDefaults::setObject(const std::string& key, const PlistValue& value) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (value.isNone()) {
        values_.erase(key);
        pendingSets_.erase(key);
        if (std::find(pendingRemovals_.begin(), pendingRemovals_.end(), key) ==
            pendingRemovals_.end())
            pendingRemovals_.push_back(key);
    } else {
        values_.insert_or_assign(key, value);
        pendingSets_.insert_or_assign(key, value);
        pendingRemovals_.erase(std::remove(pendingRemovals_.begin(), pendingRemovals_.end(), key),
                               pendingRemovals_.end());
    }
    return writeLocked();
}

bool UserDefaults::synchronize() {
    std::lock_guard<std::mutex> guard(mutex_);
    return writeLocked();
}

void UserDefaults::reload() {
    std::lock_guard<std::mutex> guard(mutex_);
    PlistValue::Dict fresh = loadFromDisk();
    for (const auto& k : pendingRemovals_)
        fresh.erase(k);
    for (const auto& [k, v] : pendingSets_)
        fresh.insert_or_assign(k, v);
    values_ = std::move(fresh);
}

PlistValue::Dict UserDefaults::dictionaryRepresentation() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return values_;
}

std::string UserDefaults::lastError() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastError_;
}

} // namespace tessaly
