#include "daemon/FileOps.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dorn {

namespace {

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string trimmed(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// Removes the entry `name` of the folder open at dirFd.
bool removeAt(int dirFd, const char* name) {
    if (::unlinkat(dirFd, name, 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    for (const auto& n : names)
        ok = removeAt(::dirfd(dir), n.c_str()) && ok;
    ::closedir(dir);
    if (::unlinkat(dirFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        ok = false;
    return ok;
}

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

bool itemExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool removeItem(const std::string& path) {
    std::string p = trimmed(path);
    if (p.empty() || p == "/")
        return false;
    int parent = ::open(parentOf(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return !itemExists(p);
    removeAt(parent, nameOf(p).c_str());
    ::close(parent);
    return !itemExists(p);
}

bool copyItem(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0 || itemExists(to))
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

bool writeAtomically(const std::string& path, const void* bytes, std::size_t length) {
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    std::string temp = parentOf(path) + "/." + nameOf(path) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const char* p = static_cast<const char*>(bytes);
    bool ok = true;
    for (std::size_t done = 0; done < length;) {
        ssize_t w = ::write(fd, p + done, length - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(name.data(), path.c_str()) != 0) {
        ::unlink(name.data());
        return false;
    }
    return true;
}

bool makeDirectories(const std::string& path) {
    std::string p = trimmed(path);
    if (p.empty())
        return false;
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    std::string parent = parentOf(p);
    if (parent != p && parent != "." && !makeDirectories(parent))
        return false;
    if (::mkdir(p.c_str(), 0755) == 0 || errno == EEXIST)
        return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return false;
}

} // namespace dorn
