#include "platform/FileAttributes.h"

#include "platform/Paths.h"

#include <algorithm>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

namespace tessaly::fileattr {

namespace {

Date toDate(const struct statx_timestamp& ts) {
    using namespace std::chrono;
    return Date(
        duration_cast<system_clock::duration>(seconds(ts.tv_sec) + nanoseconds(ts.tv_nsec)));
}

bool isZero(const struct statx_timestamp& ts) {
    return ts.tv_sec == 0 && ts.tv_nsec == 0;
}

} // namespace

EntryInfo entryInfo(const std::string& path) {
    return entryInfoAt(AT_FDCWD, path.c_str());
}

EntryInfo entryInfoAt(int dirFd, const char* name) {
    EntryInfo info;
    struct statx sx {};
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return info;
    info.exists = true;
    info.isDirectory = S_ISDIR(sx.stx_mode);
    info.isRegular = S_ISREG(sx.stx_mode);
    info.isSymlink = S_ISLNK(sx.stx_mode);
    info.size = static_cast<std::int64_t>(sx.stx_size);
    info.allocated = static_cast<std::int64_t>(sx.stx_blocks) * 512;
    info.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    info.inode = sx.stx_ino;
    info.linkCount = sx.stx_nlink;
    info.mode = sx.stx_mode;
    info.uid = sx.stx_uid;
    info.accessed = toDate(sx.stx_atime);
    info.modified = toDate(sx.stx_mtime);
    info.changed = toDate(sx.stx_ctime);
    if ((sx.stx_mask & STATX_BTIME) && !isZero(sx.stx_btime))
        info.created = toDate(sx.stx_btime);
    return info;
}

bool isApplicationBundle(const std::string& path) {
    std::string ext = paths::extension(path);
    if (::strcasecmp(ext.c_str(), "app") != 0)
        return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<Date> lastUsedDate(const std::string& path) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME,
                &sx) != 0)
        return std::nullopt;
    EntryInfo info;
    info.exists = true;
    if (sx.stx_mask & STATX_ATIME)
        info.accessed = toDate(sx.stx_atime);
    if (sx.stx_mask & STATX_MTIME)
        info.modified = toDate(sx.stx_mtime);
    if ((sx.stx_mask & STATX_BTIME) && !isZero(sx.stx_btime))
        info.created = toDate(sx.stx_btime);
    info.changed = toDate(sx.stx_ctime);
    return lastUsedDate(info);
}

std::optional<Date> lastUsedDate(const EntryInfo& info) {
    if (!info.exists)
        return std::nullopt;
    // A write leaves the access time as it was, so a file rewritten yesterday
    // and read a year ago was last used yesterday.
    const Date latest = std::max(info.accessed, info.modified);
    if (latest != Date{})
        return latest;
    if (info.created)
        return info.created;
    return info.changed;
}

std::int32_t preferredBlockSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_blksize <= 0)
        return 0;
    return static_cast<std::int32_t>(st.st_blksize);
}

FileStamp stampOf(const EntryInfo& info, bool contents) {
    FileStamp stamp;
    if (!info.exists)
        return stamp;
    stamp.known = true;
    stamp.isDirectory = info.isDirectory;
    stamp.device = info.device;
    stamp.inode = info.inode;
    stamp.created = info.created;
    stamp.contents = contents;
    if (contents && info.isRegular) {
        stamp.size = info.size;
        stamp.modified = info.modified;
    }
    return stamp;
}

bool stillTheSame(const std::string& path, const FileStamp& stamp) {
    if (!stamp.known)
        return true;
    FileStamp now = stampOf(entryInfo(path), stamp.contents);
    return now.known && now.isDirectory == stamp.isDirectory && now.device == stamp.device &&
           now.inode == stamp.inode && now.created == stamp.created && now.size == stamp.size &&
           now.modified == stamp.modified;
}

} // namespace tessaly::fileattr
