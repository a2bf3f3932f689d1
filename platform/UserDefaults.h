#pragma once

#include "platform/PlistValue.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace tessaly {

// The application's persistent key/value settings: a binary property-list file in
// the user's configuration folder. Every change is written to disk at once, through
// a temporary file renamed over the old one, with a second copy kept beside it; a
// write first re-reads the file under a lock and applies only this process's
// changes, so another process's keys are never overwritten. A corrupt file is moved
// aside (never deleted) and the copy, or else the defaults, are used.
class UserDefaults {
public:
    // The store of the current home (TESSALY_HOME or the user's home).
    static UserDefaults& standardUserDefaults();

    explicit UserDefaults(std::string path);

    const std::string& path() const { return path_; }

    std::optional<PlistValue> objectForKey(const std::string& key) const;
    bool hasKey(const std::string& key) const { return objectForKey(key).has_value(); }

    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::string stringForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    std::optional<PlistValue::Data> dataForKey(const std::string& key) const;
    std::optional<PlistValue::Array> arrayForKey(const std::string& key) const;
    std::optional<PlistValue::Dict> dictionaryForKey(const std::string& key) const;
    // A list of texts; entries that are not text are left out.
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;

    // Each setter stores the value and writes the file at once. Setting a None value
    // removes the key. They return false when the file could not be written (the
    // value is kept in memory and written with the next successful change).
    bool setObject(const std::string& key, const PlistValue& value);
    bool setBool(const std::string& key, bool value) { return setObject(key, PlistValue(value)); }
    bool setInteger(const std::string& key, std::int64_t value) {
        return setObject(key, PlistValue(static_cast<long long>(value)));
    }
    bool setDouble(const std::string& key, double value) {
        return setObject(key, PlistValue(value));
    }
    bool setString(const std::string& key, const std::string& value) {
        return setObject(key, PlistValue(value));
    }
    bool setDate(const std::string& key, Date value) { return setObject(key, PlistValue(value)); }
    bool setStringArray(const std::string& key, const std::vector<std::string>& value);
    bool removeObjectForKey(const std::string& key) { return setObject(key, PlistValue()); }

    // Writes pending changes (merged with the file as it is now) and reloads.
    bool synchronize();

    // Re-reads the file, keeping changes not yet written.
    void reload();

    // All values as they are now.
    PlistValue::Dict dictionaryRepresentation() const;

    std::string lastError() const;

private:
    PlistValue::Dict loadFromDisk(); // caller holds mutex_
    bool writeLocked();              // caller holds mutex_

    std::string path_;
    mutable std::mutex mutex_;
    PlistValue::Dict values_;
    PlistValue::Dict pendingSets_;
    std::vector<std::string> pendingRemovals_;
    std::string lastError_;
};

} // namespace tessaly
