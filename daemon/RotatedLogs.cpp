#include "daemon/RotatedLogs.h"

#include "platform/DisposableNames.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace dorn {

std::optional<std::set<std::string>> namesInFolder(int dirFd) {
    // A new open file description: listing moves its offset, not dirFd's.
    const int own = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return std::nullopt;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return std::nullopt;
    }
    std::set<std::string> names;
    while (const struct dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.insert(entry->d_name);
    ::closedir(dir);
    return names;
}

bool rotatedLogBeside(int dirFd, const std::string& name) {
    if (!tessaly::disposable::needsSiblings(name))
        return tessaly::disposable::isRotatedLogName(name);
    auto names = namesInFolder(dirFd);
    return names && tessaly::disposable::isRotatedLogAmong(name, *names);
}

} // namespace dorn
