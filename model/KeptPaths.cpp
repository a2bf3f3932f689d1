#include "model/KeptPaths.h"

#include "model/SettingKeys.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace tessaly {

namespace {

std::mutex& runMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& runPaths() {
    static std::vector<std::string> paths;
    return paths;
}

bool under(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return !path.empty() && path[0] == '/';
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

} // namespace

namespace keptpaths {

std::string normalised(const std::string& path) {
    if (path.empty())
        return {};
    std::string full = path;
    if (full == "~" || full.rfind("~/", 0) == 0) {
        full = paths::homePath() + full.substr(1);
    } else if (full[0] != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            return {};
        full = std::string(cwd) + "/" + full;
    }
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= full.size()) {
        std::size_t slash = full.find('/', at);
        if (slash == std::string::npos)
            slash = full.size();
        std::string part = full.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

std::vector<std::string> stored(const UserDefaults& defaults) {
    return defaults.stringArrayForKey(keys::KeepPath).value_or(std::vector<std::string>{});
}

bool store(UserDefaults& defaults, const std::vector<std::string>& list) {
    return defaults.setStringArray(keys::KeepPath, list);
}

void keepForThisRun(const std::string& path) {
    std::lock_guard<std::mutex> guard(runMutex());
    runPaths().push_back(path);
}

std::vector<std::string> keptForThisRun() {
    std::lock_guard<std::mutex> guard(runMutex());
    return runPaths();
}

} // namespace keptpaths

KeptPaths::KeptPaths(const std::vector<std::string>& list) {
    auto add = [this](const std::string& p) {
        if (!p.empty() && std::find(paths_.begin(), paths_.end(), p) == paths_.end())
            paths_.push_back(p);
    };
    for (const std::string& entry : list) {
        const std::string path = keptpaths::normalised(entry);
        if (path.empty())
            continue;
        add(path);
        // A kept path reached through a link is kept by the name the scans meet too.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            add(resolved);
    }
}

KeptPaths KeptPaths::fromSettings(const UserDefaults& defaults) {
    std::vector<std::string> list = keptpaths::stored(defaults);
    for (const std::string& path : keptpaths::keptForThisRun())
        list.push_back(path);
    return KeptPaths(list);
}

KeptPaths KeptPaths::current() {
    return fromSettings(UserDefaults::standardUserDefaults());
}

void leaveOutKept(ScanItemList& items, const KeptPaths& kept) {
    if (kept.empty())
        return;
    auto isKept = [&kept](const ScaneOuputObject& item) {
        if (!item.path.empty() && kept.covers(item.path))
            return true;
        return std::any_of(item.removePaths.begin(), item.removePaths.end(),
                           [&kept](const std::string& p) { return kept.covers(p); });
    };
    auto mark = [&kept](ScaneOuputObject& item) {
        bool holds = !item.path.empty() && kept.holds(item.path);
        for (const std::string& p : item.removePaths)
            holds = holds || kept.holds(p);
        if (holds) {
            item.isCheck = false;
            item.reason = kHoldsKeptPathReason;
        }
    };
    for (const ScanItem& item : items)
        if (item->subObjects) {
            auto& children = *item->subObjects;
            children.erase(std::remove_if(children.begin(), children.end(),
                                          [&](const ScanItem& c) { return isKept(*c); }),
                           children.end());
            for (const ScanItem& c : children)
                mark(*c);
            item->fileSize = totalSize(children);
        }
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const ScanItem& i) {
                                   return i->subObjects ? i->subObjects->empty() : isKept(*i);
                               }),
                items.end());
    for (const ScanItem& item : items)
        if (!item->subObjects)
            mark(*item);
}

bool KeptPaths::covers(const std::string& path) const {
    const std::string p = keptpaths::normalised(path);
    return std::any_of(paths_.begin(), paths_.end(),
                       [&p](const std::string& kept) { return under(p, kept); });
}

bool KeptPaths::holds(const std::string& path) const {
    const std::string p = keptpaths::normalised(path);
    return std::any_of(paths_.begin(), paths_.end(),
                       [&p](const std::string& kept) { return kept != p && under(kept, p); });
}

} // namespace tessaly
