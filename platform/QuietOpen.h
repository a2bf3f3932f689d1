#pragma once

#include <string>

namespace tessaly::fileops {

// Opens a file or folder for reading without touching its last-access time,
// where the kernel allows it (the file's owner, or root); for anyone else it is
// opened as usual. Scans read the last-access time as "last opened", so what
// they read must not look opened by them. flags are open(2) flags (O_RDONLY
// with O_DIRECTORY, O_NOFOLLOW...); -1 with errno set on failure.
int openQuietly(const std::string& path, int flags);
int openQuietlyAt(int dirFd, const char* name, int flags);

} // namespace tessaly::fileops
