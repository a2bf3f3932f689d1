#pragma once

// Where one file system ends and another begins. A walk that must stay on one
// file system (a removal, an overwrite) asks before it enters a folder or acts
// on an entry.

#include <string>

namespace tessaly::mounts {

// Whether the entry `name` of the folder open as dirFd is the root of a mount
// (a file system, or a folder or file bind-mounted there), without following a
// final link; with an empty name, the file open as dirFd itself. Unreadable
// entries count as mount roots: nothing is done to them.
bool isMountRootAt(int dirFd, const std::string& name);

// The same for a path (its last component).
bool isMountRoot(const std::string& path);

} // namespace tessaly::mounts
