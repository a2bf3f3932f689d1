#pragma once

#include "platform/Date.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly::fileattr {

// What a file-system entry is, read without following a final symbolic link.
struct EntryInfo {
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    bool isSymlink = false;
    std::int64_t size = 0;      // logical size
    std::int64_t allocated = 0; // blocks actually allocated, in bytes
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t linkCount = 0;
    unsigned mode = 0;
    unsigned uid = 0;
    Date accessed{};
    Date modified{};
    Date changed{};
    std::optional<Date> created; // birth time where the file system keeps it
};

EntryInfo entryInfo(const std::string& path);

// The same for an entry named relative to an open folder descriptor.
EntryInfo entryInfoAt(int dirFd, const char* name);

// Whether a path is an application: a folder whose extension is "app" (any case).
bool isApplicationBundle(const std::string& path);

// Date of last use: the last-access time, else the modification time, else the
// creation (or status-change) time. None when the path does not exist.
std::optional<Date> lastUsedDate(const std::string& path);
// The same from attributes already read.
std::optional<Date> lastUsedDate(const EntryInfo& info);

// The preferred I/O block size of the volume holding a path; 0 when unknown.
std::int32_t preferredBlockSize(const std::string& path);

} // namespace tessaly::fileattr
