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

// Makes a new link beside the alias under a name nothing has: symlink() never
// replaces what is there, so a taken name only means trying another.
std::optional<std::string> freshLink(const std::string& path, const std::string& target) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".relink-%016llx",
                      static_cast<unsigned long long>(random()));
        const std::string fresh = path + suffix;
        if (::symlink(target.c_str(), fresh.c_str()) == 0)
            return fresh;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

// Whether the entry is still the link the repair looked at.
bool sameLink(const fileattr::EntryInfo& now, const fileattr::EntryInfo& seen) {
    return now.isSymlink && now.device == seen.device && now.inode == seen.inode;
}

// Puts a new link in the alias's place in one step. The two names are swapped
// (so nothing is ever replaced unseen) and the old link, now under the fresh
// name, is removed only when it is the link that was there; anything else that
// took its place meanwhile is swapped back. Where the file system cannot swap,
// the new link is renamed over the alias once it is seen to be the same link.
// Only our own new link is ever removed on the way out.
bool relink(const std::string& path, const std::string& target, const fileattr::EntryInfo& seen) {
    auto fresh = freshLink(path, target);
    if (!fresh)
        return false;
    const fileattr::EntryInfo ours = fileattr::entryInfo(*fresh);
    auto dropOurs = [&] {
        if (sameLink(fileattr::entryInfo(*fresh), ours))
            ::unlink(fresh->c_str());
    };
    if (::renameat2(AT_FDCWD, fresh->c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        if (sameLink(fileattr::entryInfo(*fresh), seen)) {
            ::unlink(fresh->c_str());
            return true;
        }
        ::renameat2(AT_FDCWD, fresh->c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
    } else if ((errno == EINVAL || errno == ENOSYS) && sameLink(fileattr::entryInfo(path), seen) &&
               std::rename(fresh->c_str(), path.c_str()) == 0) {
        return true;
    }
    dropOurs();
    return false;
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
    if (info.isSymlink)
        return relink(path, newTarget, info);
    if (!info.isRegular)
        return false;
    std::vector<std::uint8_t> data = bookmark::makeBookmark(newTarget);
    return rewriteFileAtomically(path, data.data(), data.size());
}

} // namespace tessaly::aliasfile
