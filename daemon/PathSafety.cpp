#include "daemon/PathSafety.h"

#include "platform/Log.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <vector>

namespace dorn {

namespace {

// System folders one level below the top that hold the system itself.
const std::set<std::string>& secondLevelSystemFolders() {
    static const std::set<std::string> folders{"/usr/bin",
                                               "/usr/sbin",
                                               "/usr/lib",
                                               "/usr/lib32",
                                               "/usr/lib64",
                                               "/usr/libexec",
                                               "/usr/local",
                                               "/usr/share",
                                               "/usr/include",
                                               "/usr/src",
                                               "/var/lib",
                                               "/var/log",
                                               "/var/cache",
                                               "/var/spool",
                                               "/var/tmp",
                                               "/var/run",
                                               "/etc/systemd",
                                               "/etc/security",
                                               "/System/Library",
                                               "/Library/LaunchDaemons",
                                               "/Library/LaunchAgents",
                                               "/Library/Caches",
                                               "/Library/Preferences",
                                               "/Library/Application Support",
                                               "/private/var",
                                               "/private/etc",
                                               "/private/tmp"};
    return folders;
}

std::string realParentJoin(const std::string& normalizedPath) {
    auto slash = normalizedPath.find_last_of('/');
    std::string parent = slash == 0 ? "/" : normalizedPath.substr(0, slash);
    std::string name = normalizedPath.substr(slash + 1);
    char buf[PATH_MAX];
    if (!::realpath(parent.c_str(), buf))
        return normalizedPath;
    std::string real(buf);
    return real == "/" ? "/" + name : real + "/" + name;
}

} // namespace

PathSafety::PathSafety() {
    ::setpwent();
    while (struct passwd* pw = ::getpwent()) {
        if (pw->pw_dir && pw->pw_dir[0] == '/')
            homes_.insert(normalized(pw->pw_dir));
    }
    ::endpwent();
    homes_.erase("/");
}

PathSafety::PathSafety(std::set<std::string> homes) {
    for (const auto& h : homes)
        homes_.insert(normalized(h));
}

std::string PathSafety::normalized(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return {};
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

bool PathSafety::isProtected(const std::string& p) const {
    if (p == "/" || p.find('/', 1) == std::string::npos)
        return true; // the root and everything directly under it
    if (secondLevelSystemFolders().count(p))
        return true;
    if (homes_.count(p))
        return true;
    // Home folders under the usual parents, also of users not in the database.
    for (const char* parent : {"/home/", "/Users/"}) {
        std::string prefix(parent);
        if (p.rfind(prefix, 0) == 0 && p.find('/', prefix.size()) == std::string::npos)
            return true;
    }
    return false;
}

std::string PathSafety::refusal(const std::string& path, bool followFinalLink) const {
    std::string n = normalized(path);
    if (n.empty())
        return "not an absolute path";
    if (path.find("/./") != std::string::npos || path.find("/../") != std::string::npos ||
        path.ends_with("/.") || path.ends_with("/.."))
        return "path with . or .. components";
    if (isProtected(n))
        return "protected place";
    if (isProtected(realParentJoin(n)))
        return "protected place (through a link)";
    if (followFinalLink) {
        char buf[PATH_MAX];
        if (::realpath(n.c_str(), buf) && isProtected(buf))
            return "protected place (the link leads there)";
    }
    return {};
}

bool allowedToChange(const PathSafety& safety, const std::string& path, const char* operation,
                     bool followFinalLink) {
    std::string why = safety.refusal(path, followFinalLink);
    if (why.empty())
        return true;
    tessaly::log::line(std::string("refused ") + operation + " of \"" + path + "\": " + why);
    return false;
}

} // namespace dorn
