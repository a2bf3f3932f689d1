#pragma once

// Reaching a path beneath an opened folder through descriptors only: no
// symbolic link is followed and nothing outside the folder can be reached,
// whatever is swapped into the path while it is resolved. openat2 with
// RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has it, otherwise a
// walk component by component with O_NOFOLLOW.
//
// Relative paths here are canonical: components separated by single slashes,
// none of them empty, "." or "..".

#include "daemon/UniqueFd.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace dorn {

// Opens the folder at an absolute path that the service trusts (an allowed
// place), as a descriptor to resolve beneath. Invalid when it is missing or not
// a folder.
UniqueFd openFolder(const std::string& absolute);

// Opens relative beneath dirFd with flags (O_NOFOLLOW and O_CLOEXEC are added):
// a final symbolic link is never followed. Invalid with errno set when it
// cannot be opened or resolving it would leave dirFd or cross a link.
UniqueFd openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode = 0);

// The folder holding relative's last component, opened beneath dirFd, and that
// component's name.
struct ParentFolder {
    UniqueFd dir;
    std::string name;
};
std::optional<ParentFolder> openParentBeneath(int dirFd, const std::string& relative);

// Makes every folder of relative that is missing beneath dirFd (mode 0755, owned
// by uid/gid) and opens the last one; invalid when a component is not a
// folder, is a link, or cannot be made.
UniqueFd makeFoldersBeneath(int dirFd, const std::string& relative, uid_t uid, gid_t gid);

// Always the component walk instead of openat2 (tests of the fallback).
void useComponentWalk(bool always);

} // namespace dorn
