#pragma once

#include "model/ScaneOuputObject.h"

#include <string>
#include <vector>

namespace tessaly {

class UserDefaults;

// Why an item that would take a kept path with it is left unticked.
inline constexpr const char* kHoldsKeptPathReason = "holds a kept path";

// Paths the user keeps: a kept path and everything under it is never listed by
// a tool that lists home files, and an item that holds one is never removed
// whole. The list is the setting "Keep_Path" (absolute paths, "~" for the home
// folder), plus paths added for one run (tessaly-cli --keep).
class KeptPaths {
public:
    KeptPaths() = default;
    explicit KeptPaths(const std::vector<std::string>& paths);

    // The stored list and this run's additions.
    static KeptPaths current();
    static KeptPaths fromSettings(const UserDefaults& defaults);

    // Whether the path is a kept path or lies under one.
    bool covers(const std::string& path) const;
    // Whether a kept path lies strictly inside the path (removing it whole would
    // take the kept path with it).
    bool holds(const std::string& path) const;
    bool empty() const { return paths_.empty(); }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::vector<std::string> paths_; // normalised, and each one's resolved form
};

// Takes out of a result list every item (or child) that is kept or would remove
// a kept path, and unticks, with the reason, an item that holds one.
void leaveOutKept(ScanItemList& items, const KeptPaths& kept);

namespace keptpaths {

// A path as the kept list compares it: "~" expanded, relative paths taken from
// the working folder, "." and ".." and repeated or trailing slashes taken out.
std::string normalised(const std::string& path);

// The stored list, as written.
std::vector<std::string> stored(const UserDefaults& defaults);
// Stores the list; false when the settings could not be written.
bool store(UserDefaults& defaults, const std::vector<std::string>& paths);

// Adds a path for this run only (it is not stored).
void keepForThisRun(const std::string& path);
std::vector<std::string> keptForThisRun();

} // namespace keptpaths

} // namespace tessaly
