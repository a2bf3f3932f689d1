#include "platform/DirectoryReader.h"

#include "platform/QuietOpen.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

DirectoryReader::DirectoryReader(const std::string& path) {
    // Listing a folder would otherwise mark it as just opened (a bundle is
    // judged by its folder's last access).
    fd_ = fileops::openQuietly(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        openError_ = errno;
        return;
    }
    dir_ = ::fdopendir(fd_);
    if (!dir_) {
        openError_ = errno;
        ::close(fd_);
        fd_ = -1;
    }
}

DirectoryReader::~DirectoryReader() {
    if (dir_)
        ::closedir(dir_); // also closes fd_
}

bool DirectoryReader::next() {
    if (!dir_)
        return false;
    for (;;) {
        errno = 0;
        entry_ = ::readdir(dir_);
        if (!entry_)
            return false;
        const char* n = entry_->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        infoRead_ = false;
        return true;
    }
}

bool DirectoryReader::isDirectory() {
    if (entry_->d_type != DT_UNKNOWN)
        return entry_->d_type == DT_DIR;
    return info().isDirectory;
}

bool DirectoryReader::isSymlink() {
    if (entry_->d_type != DT_UNKNOWN)
        return entry_->d_type == DT_LNK;
    return info().isSymlink;
}

const fileattr::EntryInfo& DirectoryReader::info() {
    if (infoRead_)
        return info_;
    infoRead_ = true;
    info_ = fileattr::entryInfoAt(fd_, entry_->d_name);
    return info_;
}

} // namespace tessaly
