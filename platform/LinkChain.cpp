#include "platform/LinkChain.h"

#include "platform/FileAttributes.h"
#include "platform/Paths.h"

#include <climits>
#include <unistd.h>
#include <vector>

namespace tessaly::fileops {

namespace {

constexpr int kMaxLinks = 40; // as the kernel allows in one lookup

} // namespace

std::optional<std::string> followLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        if (!fileattr::entryInfo(current).isSymlink)
            return current;
        std::vector<char> buffer(PATH_MAX + 1);
        ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (n <= 0)
            return std::nullopt;
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        current = target[0] == '/' ? paths::recordedPath(target)
                                   : paths::join(paths::deletingLastComponent(current), target);
    }
    return std::nullopt;
}

} // namespace tessaly::fileops
