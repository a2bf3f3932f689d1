#include "ScanCode/eraser/PickGuard.h"

#include "platform/DirectoryReader.h"
#include "platform/MountPoints.h"
#include "platform/Paths.h"
#include "platform/SystemPlaces.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace tessaly::eraser {

namespace {

// The path with the folders on its way resolved (its last component as it is).
std::string resolvedParent(const std::string& path) {
    const std::string parent = paths::deletingLastComponent(path);
    char buf[PATH_MAX];
    if (parent.empty() || !::realpath(parent.c_str(), buf))
        return path;
    return paths::join(buf, paths::lastComponent(path));
}

std::string resolved(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// Whether path lies below folder ("/" holds every other absolute path).
bool below(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return paths::isInside(path, folder);
}

// The home folders of the machine: the user's own, the process's, and every
// folder in /home and /Users (under the system root).
std::vector<std::string> homeFolders() {
    std::vector<std::string> homes{resolved(paths::homePath()),
                                   resolved(paths::processHomeDirectory())};
    for (const char* holder : {"/home", "/Users"}) {
        const std::string folder = paths::systemPath(holder);
        DirectoryReader reader(folder);
        while (reader.isOpen() && reader.next())
            if (reader.isDirectory())
                homes.push_back(resolved(paths::join(folder, reader.name())));
    }
    return homes;
}

std::optional<std::string> placeRefusal(const std::string& path) {
    const std::string root = resolved(paths::systemRoot());
    if (path == "/" || path == root)
        return "it is the root of the system";
    if (systemplaces::isSystemFolder(path))
        return "it is one of the system's own folders";
    if (below(root, path))
        return "it holds the system's folders";
    for (const std::string& home : homeFolders()) {
        if (path == home)
            return "it is a home folder";
        if (below(home, path))
            return "it holds the home folder " + home;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> pickRefusal(const std::string& path) {
    for (const std::string& p : {path, resolvedParent(path)})
        if (auto why = placeRefusal(p))
            return why;
    const auto info = fileattr::entryInfo(path);
    if (!info.exists || info.isSymlink)
        return std::nullopt; // a link goes as a link, whatever it points to
    if (mounts::isMountRoot(path))
        return std::string("a file system is mounted here: pick what lies in it instead");
    if (auto kernel = systemplaces::kernelFileSystem(path))
        return "it lies on the kernel's " + *kernel + " file system, which holds no one's files";
    if (info.isRegular && info.linkCount > 1)
        return std::string(kOtherNames);
    return std::nullopt;
}

std::optional<std::string> staysInFolder(const std::string& path, const fileattr::EntryInfo& info,
                                         std::uint64_t folderDevice) {
    if ((info.isDirectory || info.isRegular) &&
        (info.device != folderDevice || mounts::isMountRoot(path)))
        return std::string(kMountedHere);
    if (info.isRegular && info.linkCount > 1)
        return std::string(kOtherNames);
    return std::nullopt;
}

} // namespace tessaly::eraser
