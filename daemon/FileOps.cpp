#include "daemon/FileOps.h"

#include "platform/AtomicFile.h"
#include "platform/FileRemoval.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

bool copyFile(const std::string& from, const std::string& to, mode_t mode) {
    int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 16);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    ::fchmod(out, mode & 07777);
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

} // namespace

bool copyItem(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0 || tessaly::fileops::itemExists(to))
        return false;
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(st.st_size) + 1 + 4096);
        ssize_t n = ::readlink(from.c_str(), target.data(), target.size() - 1);
        if (n < 0)
            return false;
        return ::symlink(std::string(target.data(), static_cast<std::size_t>(n)).c_str(),
                         to.c_str()) == 0;
    }
    if (S_ISREG(st.st_mode))
        return copyFile(from, to, st.st_mode);
    if (!S_ISDIR(st.st_mode))
        return false;
    if (::mkdir(to.c_str(), 0700) != 0)
        return false;
    bool ok = true;
    if (DIR* dir = ::opendir(from.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            ok = copyItem(from + "/" + e->d_name, to + "/" + e->d_name) && ok;
        }
        ::closedir(dir);
    } else {
        ok = false;
    }
    ::chmod(to.c_str(), st.st_mode & 07777);
    return ok;
}

bool writeKeepingMode(const std::string& path, const void* bytes, std::size_t length) {
    unsigned mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    return tessaly::writeFileAtomically(path, bytes, length, nullptr, mode);
}

} // namespace dorn
