#include "daemon/AllowedRoots.h"

#include "platform/DisposableNames.h"
#include "platform/SystemPlaces.h"

#include "daemon/Beneath.h"
#include "daemon/LogText.h"
#include "daemon/RotatedLogs.h"
#include "daemon/UniqueFd.h"

#include <algorithm>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorn {

namespace {

bool rotatedLog(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return tessaly::disposable::isRotatedLogName(
        slash == std::string::npos ? relative : relative.substr(slash + 1));
}

// A language's own folder, as a whole.
bool languageFolder(const std::string& relative) {
    return tessaly::disposable::isLanguageFolderName(relative);
}

// A package file of the archive itself, or anything in its partial/ folder.
bool packageArchive(const std::string& relative) {
    if (relative.rfind("partial/", 0) == 0)
        return relative.size() > 8;
    return relative.find('/') == std::string::npos &&
           tessaly::disposable::isPackageArchiveName(relative);
}

constexpr unsigned kAllButLoad = Remove | Overwrite | Thin | Unload | Write | Disable | Read;

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

// Whether path lies strictly beneath folder (both in canonical form); the
// remainder goes to *relative.
bool beneath(const std::string& path, const std::string& folder, std::string* relative) {
    if (path.size() <= folder.size() + 1 || path.compare(0, folder.size(), folder) != 0 ||
        path[folder.size()] != '/')
        return false;
    *relative = path.substr(folder.size() + 1);
    return true;
}

std::optional<std::string> canonical(const std::string& path) {
    auto parts = AllowedRoots::components(path);
    if (!parts)
        return std::nullopt;
    return joined(*parts);
}

// Whether the file behind fd belongs to the service's own user and cannot be
// changed by anyone else.
bool ownedAndClosed(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

} // namespace

Place Place::callers(std::string where, std::optional<uid_t> ownedBy, bool holdsVolumes) {
    Place place(std::move(where), kAllButLoad, ownedBy);
    place.asCaller = true;
    place.volumes = holdsVolumes;
    return place;
}

UniqueFd AllowedRoots::open(const Place& place, std::string* why) {
    if (place.opened) {
        UniqueFd dup(::fcntl(place.opened->get(), F_DUPFD_CLOEXEC, 0));
        if (!dup && why)
            *why = "its descriptor cannot be copied";
        return dup;
    }
    return openTrustedFolder(place.path, why, place.owner);
}

const char* actionName(Action action) {
    switch (action) {
    case Remove:
        return "removal";
    case Overwrite:
        return "overwrite";
    case Thin:
        return "thinning";
    case Unload:
        return "job unload";
    case Load:
        return "job load";
    case Write:
        return "write";
    case Disable:
        return "job rewrite";
    case Read:
        return "reading";
    }
    return "action";
}

std::optional<std::vector<std::string>> AllowedRoots::components(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t i = 1;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "." || part == "..")
            return std::nullopt;
        if (!part.empty())
            parts.push_back(std::move(part));
        i = j + 1;
    }
    return parts;
}

AllowedRoots::AllowedRoots(const std::vector<std::string>& extraRoots,
                           const std::string& systemRoot) {
    std::string base = canonical(systemRoot).value_or("/");
    if (base == "/")
        base.clear();
    auto under = [&base](const char* path) { return base + path; };
    for (const char* p : {"/Library/Caches", "/Library/Logs", "/Library/Application Support",
                          "/Library/Preferences"})
        fixed_.push_back({under(p), Remove | Overwrite | Read, std::nullopt});
    for (const char* p : {"/Applications", "/Developer/Applications"})
        fixed_.push_back({under(p), Remove | Overwrite | Thin | Read, std::nullopt});
    for (const char* p : {"/Library/LaunchAgents", "/Library/LaunchDaemons"})
        fixed_.push_back({under(p), Remove | Unload | Load | Disable | Read, std::nullopt});
    fixed_.push_back(Place::callers("/Volumes", std::nullopt, true));
    // The Linux desktop's disposable system files: what the services there keep
    // using (live logs, the rest of /var/cache) stays out of reach.
    fixed_.push_back({under("/var/log"), Remove | Read, std::nullopt, &rotatedLog, true});
    fixed_.back().admitsBeside = &rotatedLogBeside;
    fixed_.push_back(
        {under("/var/cache/apt/archives"), Remove | Read, std::nullopt, &packageArchive});
    for (const char* p : {"/usr/share/locale", "/usr/share/man", "/usr/share/help"})
        fixed_.push_back({under(p), Remove | Read, std::nullopt, &languageFolder});
    for (const auto& root : extraRoots) {
        auto c = canonical(root);
        const auto& system = tessaly::systemplaces::systemFolders();
        if (!c || std::find(system.begin(), system.end(), *c) != system.end()) {
            logLine("ignored the allowed root " + quoted(root) +
                    ": not an absolute path free of . and .., or a system folder");
            continue;
        }
        std::string why;
        UniqueFd fd = openTrustedFolder(*c, &why);
        if (!fd) {
            logLine("ignored the allowed root " + quoted(root) + ": " + why);
            continue;
        }
        Place place = Place::callers(*c);
        place.opened = std::make_shared<const UniqueFd>(std::move(fd));
        fixed_.push_back(std::move(place));
    }
}

std::vector<std::string> AllowedRoots::readRootsFile(const std::string& path) {
    std::vector<std::string> roots;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return roots;
    std::string folder = path.substr(0, path.find_last_of('/'));
    UniqueFd dir(::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!dir || !ownedAndClosed(fd.get()) || !ownedAndClosed(dir.get()) ||
        ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        logLine("ignored the roots file " + quoted(path) +
                ": it or its folder is not the service user's alone");
        return roots;
    }
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd.get(), buf, sizeof buf)) > 0 && text.size() < (1u << 20);)
        text.append(buf, static_cast<std::size_t>(n));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        auto last = line.find_last_not_of(" \t\r");
        roots.push_back(line.substr(first, last - first + 1));
    }
    return roots;
}

std::vector<Place> AllowedRoots::placesFor(const Caller& caller) const {
    std::vector<Place> places = fixed_;
    if (caller.uid != 0) {
        struct passwd pw {};
        struct passwd* found = nullptr;
        std::vector<char> buf(16384);
        if (::getpwuid_r(caller.uid, &pw, buf.data(), buf.size(), &found) == 0 && found) {
            if (auto home = canonical(pw.pw_dir ? pw.pw_dir : ""); home && *home != "/")
                places.push_back(Place::callers(*home, caller.uid));
            std::string name = pw.pw_name ? pw.pw_name : "";
            if (!name.empty() && name.find('/') == std::string::npos && name != "." &&
                name != "..") {
                places.push_back(Place::callers("/media/" + name, std::nullopt, true));
                places.push_back(Place::callers("/run/media/" + name, std::nullopt, true));
            }
        }
    }
    // Most specific first: the deepest place holding a path decides for it.
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.path.size() > b.path.size(); });
    return places;
}

std::optional<Located> AllowedRoots::locate(const std::string& path, const Caller& caller,
                                            Action action, std::string* why) const {
    auto fail = [&](std::string reason) -> std::optional<Located> {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    auto c = canonical(path);
    if (!c)
        return fail(path.empty() || path[0] != '/' ? "not an absolute path"
                                                   : "a path with . or .. components");
    for (const Place& place : placesFor(caller)) {
        if (*c == place.path)
            return fail("an allowed place itself");
        std::string relative;
        if (!beneath(*c, place.path, &relative))
            continue;
        if (!(place.actions & action))
            return fail(std::string(actionName(action)) + " is not allowed in " +
                        quoted(place.path));
        if (place.admits && !place.admits(relative))
            return fail("not a file that may go in " + quoted(place.path));
        return Located{place, relative};
    }
    return fail("outside the allowed places");
}

} // namespace dorn
