#include "ScanCode/alias/AliasFiles.h"

#include "platform/AtomicFile.h"
#include "platform/BookmarkData.h"
#include "platform/Paths.h"
#include "platform/QuietOpen.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly::aliasfile {

namespace {

// Alias files are small; anything larger is not read as one.
constexpr std::size_t kMaxBookmark = 1 << 20;

bool beginsWithBookmark(const std::string& path, std::uint64_t size) {
    int fd = fileops::openQuietly(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    std::uint8_t header[20];
    ssize_t n = ::read(fd, header, sizeof header);
    ::close(fd);
    return n == sizeof header && bookmark::looksLikeBookmark(header, sizeof header, size);
}

std::optional<std::string> linkTarget(const std::string& path) {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return std::nullopt;
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    if (target[0] != '/')
        target = paths::join(paths::deletingLastComponent(path), target);
    return target;
}

} // namespace

bool isAlias(const std::string& path, const fileattr::EntryInfo& info) {
    if (info.isSymlink)
        return true;
    return info.isRegular && info.size >= 20 &&
           static_cast<std::size_t>(info.size) <= kMaxBookmark &&
           beginsWithBookmark(path, static_cast<std::uint64_t>(info.size));
}

std::optional<std::string> target(const std::string& path) {
    auto info = fileattr::entryInfo(path);
    if (info.isSymlink)
        return linkTarget(path);
    auto bytes = readWholeFile(path, kMaxBookmark);
    if (!bytes)
        return std::nullopt;
    auto recorded = bookmark::targetPath(*bytes);
    if (!recorded)
        return std::nullopt;
    return paths::recordedPath(*recorded);
}

bool targetExists(const std::string& aliasPath, const std::string& target) {
    struct stat st {};
    // A link is followed from the link itself, so a chain or a loop is the kernel's to judge.
    if (fileattr::entryInfo(aliasPath).isSymlink)
        return ::stat(aliasPath.c_str(), &st) == 0;
    return ::lstat(target.c_str(), &st) == 0;
}

bool repoint(const std::string& path, const std::string& newTarget) {
    auto info = fileattr::entryInfo(path);
    if (info.isSymlink) {
        const std::string fresh = path + ".tessaly-relink";
        ::unlink(fresh.c_str());
        if (::symlink(newTarget.c_str(), fresh.c_str()) != 0)
            return false;
        if (std::rename(fresh.c_str(), path.c_str()) != 0) {
            ::unlink(fresh.c_str());
            return false;
        }
        return true;
    }
    if (!info.isRegular)
        return false;
    std::vector<std::uint8_t> data = bookmark::makeBookmark(newTarget);
    return writeFileAtomically(path, data.data(), data.size(), nullptr, info.mode & 0777);
}

} // namespace tessaly::aliasfile
