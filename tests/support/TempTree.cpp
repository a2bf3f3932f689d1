#include "tests/support/TempTree.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <linux/fs.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaly::test {

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tessaly-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = buf.data();
}

TempTree::~TempTree() {
    removeTree(root_);
}

std::string TempTree::path(const std::string& relative) const {
    return paths::join(root_, relative);
}

std::string TempTree::dir(const std::string& relative) const {
    std::string p = path(relative);
    if (!paths::makeDirectories(p))
        throw std::runtime_error("cannot create " + p);
    return p;
}

std::string TempTree::file(const std::string& relative, const std::string& contents) const {
    std::string p = path(relative);
    paths::makeDirectories(paths::deletingLastComponent(p));
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out)
        throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempTree::sizedFile(const std::string& relative, std::uint64_t size, char fill) const {
    std::string p = path(relative);
    paths::makeDirectories(paths::deletingLastComponent(p));
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    std::string chunk(65536, fill);
    while (size > 0) {
        auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunk.size()));
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        size -= n;
    }
    if (!out)
        throw std::runtime_error("cannot write " + p);
    return p;
}

std::vector<std::string> TempTree::foldersOfFiles(const std::string& relative, int folders,
                                                  int filesEach) const {
    std::vector<std::string> made;
    for (int d = 0; d < folders; ++d) {
        std::string folder = relative + "/" + std::to_string(d);
        dir(folder);
        for (int f = 0; f < filesEach; ++f)
            file(folder + "/" + std::to_string(f), "x");
        made.push_back(path(folder));
    }
    return made;
}

std::string TempTree::symlink(const std::string& relative, const std::string& target) const {
    std::string p = path(relative);
    paths::makeDirectories(paths::deletingLastComponent(p));
    if (::symlink(target.c_str(), p.c_str()) != 0)
        throw std::runtime_error("cannot link " + p);
    return p;
}

bool TempTree::exists(const std::string& relative) const {
    struct stat st {};
    return ::lstat(path(relative).c_str(), &st) == 0;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool insideTestSandbox(const std::string& path) {
    // Every sandbox is a folder named "tessaly-test-XXXXXX" made by TempTree; the
    // path must lie in one (or be one), without ".." to climb out of it.
    if (path.find("/../") != std::string::npos || path.size() < 3 ||
        path.compare(path.size() - 3, 3, "/..") == 0)
        return false;
    return path.find("/tessaly-test-") != std::string::npos;
}

void removeTree(const std::string& path) {
    if (!insideTestSandbox(path))
        throw std::logic_error("refusing to remove " + path + ": it is outside the test sandbox");
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p), 0; }, 32,
        FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

} // namespace tessaly::test

namespace tessaly::test {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* v = std::getenv(name)) {
        had_ = true;
        old_ = v;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

Unremovable::Unremovable(std::string path) : path_(std::move(path)) {
    if (::geteuid() == 0) {
        int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable_ = ok_ = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
        return;
    }
    std::string parent = path_.substr(0, path_.rfind('/'));
    ok_ = ::chmod(parent.c_str(), 0555) == 0;
}

Unremovable::~Unremovable() {
    if (!ok_)
        return;
    if (!immutable_) {
        ::chmod(path_.substr(0, path_.rfind('/')).c_str(), 0755);
        return;
    }
    int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
}

} // namespace tessaly::test
