#include "daemon/FileOps.h"

#include "daemon/CallerRights.h"
#include "daemon/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

constexpr mode_t kPermissionBits = 0777; // never setuid, setgid or sticky
constexpr int kMaxCopyDepth = 256;

bool fail(std::string* why, const std::string& step) {
    if (why && why->empty())
        *why = step + ": " + std::strerror(errno);
    return false;
}

// A new private file beside name; its name goes to *tempName.
UniqueFd createTemporary(int dirFd, const std::string& name, std::string* tempName) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        *tempName = "." + name.substr(0, 200) + ".tessaly-" + std::to_string(random());
        UniqueFd fd(::openat(dirFd, tempName->c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd || errno != EEXIST)
            return fd;
    }
    return UniqueFd();
}

bool copyFileData(int in, int out) {
    std::vector<char> buf(1 << 16);
    for (std::uint64_t at = 0;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        if (!writeAllAt(out, buf.data(), static_cast<std::size_t>(n), at))
            return false;
        at += static_cast<std::uint64_t>(n);
    }
}

bool copyEntry(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
               const Caller& caller, int depth, std::string* why);

bool copyFolder(int srcFolder, int dstFolder, const Caller& caller, int depth, std::string* why) {
    DIR* dir = ::fdopendir(::fcntl(srcFolder, F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return fail(why, "cannot list a folder");
    std::vector<std::string> names;
    {
        CallerRights rights(caller);
        while (dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    bool ok = true;
    for (const auto& n : names)
        ok = copyEntry(srcFolder, n, dstFolder, n, caller, depth + 1, why) && ok;
    return ok;
}

bool copyEntry(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
               const Caller& caller, int depth, std::string* why) {
    if (depth > kMaxCopyDepth) {
        errno = ELOOP;
        return fail(why, "folders nested too deep");
    }
    struct stat st {};
    UniqueFd in;
    std::string linkTarget;
    {
        CallerRights rights(caller);
        if (!rights.active()) {
            errno = EPERM;
            return fail(why, "cannot act with the caller's rights");
        }
        if (::fstatat(srcDir, srcName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return fail(why, "cannot read the source");
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> target(4096);
            ssize_t n = ::readlinkat(srcDir, srcName.c_str(), target.data(), target.size());
            if (n < 0 || static_cast<std::size_t>(n) >= target.size())
                return fail(why, "cannot read a link");
            linkTarget.assign(target.data(), static_cast<std::size_t>(n));
        } else if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
            int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
            in.reset(
                ::openat(srcDir, srcName.c_str(), flags | (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0)));
            if (!in)
                return fail(why, "cannot open the source");
            if (::fstat(in.get(), &st) != 0)
                return fail(why, "cannot read the source");
        } else {
            errno = EINVAL;
            return fail(why, "the source is neither a file, a folder nor a link");
        }
    }
    if (S_ISLNK(st.st_mode)) {
        if (::symlinkat(linkTarget.c_str(), dstDir, dstName.c_str()) != 0)
            return fail(why, "cannot make a link");
        ::fchownat(dstDir, dstName.c_str(), caller.uid, caller.gid, AT_SYMLINK_NOFOLLOW);
        return true;
    }
    const mode_t mode = st.st_mode & kPermissionBits;
    if (S_ISREG(st.st_mode)) {
        UniqueFd out(::openat(dstDir, dstName.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out)
            return fail(why, "cannot create the copy");
        if (!copyFileData(in.get(), out.get()))
            return fail(why, "cannot copy the data");
        if (::fchown(out.get(), caller.uid, caller.gid) != 0 || ::fchmod(out.get(), mode) != 0)
            return fail(why, "cannot give the copy its owner and mode");
        return true;
    }
    if (::mkdirat(dstDir, dstName.c_str(), 0700) != 0)
        return fail(why, "cannot make a folder");
    UniqueFd made(
        ::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!made)
        return fail(why, "cannot open a folder it made");
    bool ok = copyFolder(in.get(), made.get(), caller, depth, why);
    if (::fchown(made.get(), caller.uid, caller.gid) != 0 || ::fchmod(made.get(), mode) != 0)
        return fail(why, "cannot give a folder its owner and mode");
    return ok;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Puts temp in the place of name while name still is the expected file.
bool exchangeChecked(int dirFd, const std::string& temp, const std::string& name,
                     const struct stat& expected, std::string* why) {
    if (::renameat2(dirFd, temp.c_str(), dirFd, name.c_str(), RENAME_EXCHANGE) == 0) {
        struct stat displaced {};
        if (::fstatat(dirFd, temp.c_str(), &displaced, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameFile(displaced, expected)) {
            ::unlinkat(dirFd, temp.c_str(), 0);
            return true;
        }
        // Another file had taken its place: it goes back, ours is dropped.
        ::renameat2(dirFd, temp.c_str(), dirFd, name.c_str(), RENAME_EXCHANGE);
        errno = EAGAIN;
        return fail(why, "it was replaced while it was read");
    }
    if (errno != EINVAL && errno != ENOSYS)
        return fail(why, "cannot put it in place");
    // A file system that cannot exchange: look, then rename.
    struct stat now {};
    if (::fstatat(dirFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameFile(now, expected)) {
        errno = EAGAIN;
        return fail(why, "it was replaced while it was read");
    }
    return ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0 ||
           fail(why, "cannot put it in place");
}

} // namespace

bool writeAllAt(int fd, const void* bytes, std::size_t length, std::uint64_t offset) {
    const auto* p = static_cast<const char*>(bytes);
    for (std::size_t done = 0; done < length;) {
        ssize_t w = ::pwrite(fd, p + done, length - done, static_cast<off_t>(offset + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

bool replaceFileAt(int dirFd, const std::string& name, const FillFile& fill, uid_t uid, gid_t gid,
                   const struct stat* expected, std::string* why) {
    mode_t mode = 0644;
    struct stat st {};
    if (expected) {
        st = *expected;
    } else if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        expected = &st;
    } else if (errno != ENOENT) {
        return fail(why, "cannot read what is there");
    }
    if (expected) {
        if (!S_ISREG(st.st_mode)) {
            errno = EINVAL;
            return fail(why, "not a regular file");
        }
        uid = st.st_uid;
        gid = st.st_gid;
        mode = st.st_mode & kPermissionBits;
    }
    std::string temp;
    UniqueFd fd = createTemporary(dirFd, name, &temp);
    if (!fd)
        return fail(why, "cannot create a temporary file");
    bool ok = fill(fd.get(), why) || fail(why, "cannot write");
    ok = ok && (::fchown(fd.get(), uid, gid) == 0 || fail(why, "cannot keep the owner"));
    ok = ok && (::fchmod(fd.get(), mode) == 0 || fail(why, "cannot keep the mode"));
    ok = ok && (::fsync(fd.get()) == 0 || fail(why, "cannot sync"));
    if (ok && expected)
        ok = exchangeChecked(dirFd, temp, name, st, why);
    else if (ok)
        ok = ::renameat2(dirFd, temp.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0 ||
             fail(why, "cannot put it in place");
    if (!ok)
        ::unlinkat(dirFd, temp.c_str(), 0);
    return ok;
}

bool replaceFileAt(int dirFd, const std::string& name, const void* bytes, std::size_t length,
                   uid_t uid, gid_t gid, std::string* why) {
    auto fill = [bytes, length](int fd, std::string*) { return writeAllAt(fd, bytes, length, 0); };
    return replaceFileAt(dirFd, name, fill, uid, gid, nullptr, why);
}

bool copyItemAt(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
                const Caller& caller, std::string* why) {
    struct stat st {};
    if (::fstatat(dstDir, dstName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) {
        errno = EEXIST;
        return fail(why, "the destination exists");
    }
    return copyEntry(srcDir, srcName, dstDir, dstName, caller, 0, why);
}

} // namespace dorn
