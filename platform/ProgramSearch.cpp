#include "platform/ProgramSearch.h"

#include "platform/FileAttributes.h"
#include "platform/LinkChain.h"
#include "platform/Paths.h"

namespace tessaly::programs {

namespace {

// A link is followed as exec would, its absolute targets under the system root.
bool isExecutableFile(const std::string& path) {
    auto end = fileops::followLinks(path);
    if (!end)
        return false;
    auto info = fileattr::entryInfo(*end);
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
