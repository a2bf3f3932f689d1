#include "platform/ProgramSearch.h"

#include "platform/FileAttributes.h"
#include "platform/Paths.h"

#include <unistd.h>

namespace tessaly::programs {

namespace {

bool isExecutableFile(const std::string& path) {
    auto info = fileattr::entryInfo(path);
    if (info.isSymlink)
        return ::access(path.c_str(), X_OK) == 0; // a link is followed as exec would
    return info.isRegular && (info.mode & 0111) != 0;
}

} // namespace

std::optional<std::string> findProgram(const std::string& program) {
    if (program.empty())
        return std::nullopt;
    if (program[0] == '/') {
        std::string path = paths::recordedPath(program);
        return isExecutableFile(path) ? std::optional<std::string>(path) : std::nullopt;
    }
    if (program.find('/') != std::string::npos)
        return std::nullopt;
    for (const char* folder : {"/usr/local/sbin", "/usr/local/bin", "/usr/sbin", "/usr/bin",
                               "/sbin", "/bin", "/usr/games", "/usr/local/games"}) {
        std::string path = paths::join(paths::systemPath(folder), program);
        if (isExecutableFile(path))
            return path;
    }
    std::string own = paths::join(paths::homePath(), ".local/bin/" + program);
    return isExecutableFile(own) ? std::optional<std::string>(own) : std::nullopt;
}

} // namespace tessaly::programs
