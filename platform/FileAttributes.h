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

// What a scan saw of an entry, so that a later clean can tell whether the entry
// at the path is still the same one.
struct FileStamp {
    bool known = false;
    bool isDirectory = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::optional<Date> created; // tells a reused inode number from the one stamped
    bool contents = true;        // whether a file's size and modification time count too
    std::int64_t size = 0;       // files only
    Date modified{};             // files only
};

// contents: false when only the entry's identity matters (a log may grow, a cache
// folder may change inside, and still be the item the user ticked).
FileStamp stampOf(const EntryInfo& info, bool contents = true);

// Whether the entry at the path is still the stamped one: the same file or folder
// (not another one, nor a link, put in its place) and, when the stamp says so,
// with the same size and modification time. An unknown stamp always matches; a
// missing entry never does.
bool stillTheSame(const std::string& path, const FileStamp& stamp);

// The same for an entry named relative to an open folder descriptor.
EntryInfo entryInfoAt(int dirFd, const char* name);

// Whether a path is an application: a folder whose extension is "app" (any case).
bool isApplicationBundle(const std::string& path);

// Date of last use: the later of the last-access and modification times, else
// the creation (or status-change) time. None when the path does not exist.
std::optional<Date> lastUsedDate(const std::string& path);
// The same from attributes already read.
std::optional<Date> lastUsedDate(const EntryInfo& info);

// The preferred I/O block size of the volume holding a path; 0 when unknown.
std::int32_t preferredBlockSize(const std::string& path);

} // namespace tessaly::fileattr
