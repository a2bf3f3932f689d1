#pragma once

// What the Eraser never erases. A picked path is refused whole when erasing it
// would take the system or a user's home with it, or would not erase what it
// holds; inside a picked folder, what lies on another file system and files
// whose contents live on under other names stay, each with its reason.

#include "platform/FileAttributes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly::eraser {

inline constexpr const char* kMountedHere =
    "another file system is mounted here: nothing on it is erased";
inline constexpr const char* kOtherNames =
    "it has other names (hard links) that would keep its contents";

// Why the picked path (absolute, without a trailing slash) may not be erased, or
// none: the root of the system, one of the system's own folders, a home folder or
// a folder that holds one, the place where a file system is mounted, anything on
// a kernel virtual file system (/proc, /sys, ...), and a file with other names.
// The folders on the way are resolved, so a link above the path leads nowhere
// the path itself may not go; a link at the path is erased as a link.
std::optional<std::string> pickRefusal(const std::string& path);

// Why an entry met inside a picked folder that lies on the device folderDevice
// stays, or none: another file system (or a bind mount) there, or a file with
// other names.
std::optional<std::string> staysInFolder(const std::string& path, const fileattr::EntryInfo& info,
                                         std::uint64_t folderDevice);

} // namespace tessaly::eraser
