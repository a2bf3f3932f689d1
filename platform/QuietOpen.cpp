#include "platform/QuietOpen.h"

#include <cerrno>
#include <fcntl.h>

namespace tessaly::fileops {

int openQuietly(const std::string& path, int flags) {
    return openQuietlyAt(AT_FDCWD, path.c_str(), flags);
}

int openQuietlyAt(int dirFd, const char* name, int flags) {
    int fd = ::openat(dirFd, name, flags | O_NOATIME);
    // O_NOATIME is refused (EPERM) to whoever neither owns the file nor is root.
    if (fd < 0 && errno == EPERM)
        fd = ::openat(dirFd, name, flags);
    return fd;
}

} // namespace tessaly::fileops
