#pragma once

// The places that belong to the system rather than to a user: its own folders,
// and the file systems the kernel makes up (processes, devices, its settings).

#include <optional>
#include <string>
#include <vector>

namespace tessaly::systemplaces {

// The system's own folders of both layouts ("/", "/usr", "/etc", "/var",
// "/home", "/Library", "/System", "/Users", "/Volumes", ...), as absolute paths
// of the real machine.
const std::vector<std::string>& systemFolders();

// Whether the absolute path (without a trailing slash) is one of them, either as
// it is or resolved under the system root (paths::systemPath).
bool isSystemFolder(const std::string& path);

// The kernel's virtual file system the entry lies on ("proc", "sysfs",
// "cgroup2", ...), looked at without following a final link; none for a file
// system that keeps files, and for an entry that cannot be looked at.
std::optional<std::string> kernelFileSystem(const std::string& path);

} // namespace tessaly::systemplaces
