#pragma once

// Reaching a path beneath an opened folder through descriptors only: no
// symbolic link is followed, nothing outside the folder can be reached and no
// mount point is crossed, whatever is swapped into the path while it is
// resolved. openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV
// where the kernel has it, otherwise a walk component by component with
// O_NOFOLLOW that refuses every mount root on the way.
//
// Relative paths here are canonical: components separated by single slashes,
// none of them empty, "." or "..".

#include "daemon/UniqueFd.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace dorn {

// Opens the folder at an absolute path from "/", one component at a time and
// never through a link, checking that no one but root or the service's own user
// could have put any of its components there: every folder on the way belongs
// to one of them and may be written by no one else (unless it is sticky, as
// /tmp is), and so does the folder itself, or it belongs to `owner` when one is
// given (a home folder). Invalid with the reason in *why otherwise.
UniqueFd openTrustedFolder(const std::string& absolute, std::string* why,
                           std::optional<uid_t> owner = std::nullopt);

// Opens relative beneath dirFd with flags (O_NOFOLLOW and O_CLOEXEC are added):
// a final symbolic link is never followed. Invalid with errno set when it
// cannot be opened, or resolving it would leave dirFd, cross a link or cross
// into another mount (EXDEV). crossFirst lets the first component be a mount
// root (a volume beneath the folder of mounted volumes).
UniqueFd openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode = 0,
                     bool crossFirst = false);

// The folder holding relative's last component, opened beneath dirFd, and that
// component's name.
struct ParentFolder {
    UniqueFd dir;
    std::string name;
};
std::optional<ParentFolder> openParentBeneath(int dirFd, const std::string& relative,
                                              bool crossFirst = false);

// Opens the entry `name` of dirFd with flags only when it is a regular file on
// the folder's own file system: it is looked at through a descriptor that
// cannot act (O_PATH) first, so a device or a pipe is never opened. Invalid with
// errno set otherwise (EINVAL for another kind of file, ELOOP for a link,
// EXDEV for a mount root).
UniqueFd openRegularAt(int dirFd, const std::string& name, int flags);

// Makes every folder of relative that is missing beneath dirFd (mode 0755, owned
// by uid/gid) and opens the last one; invalid when a component is not a
// folder, is a link, is a mount root or cannot be made.
UniqueFd makeFoldersBeneath(int dirFd, const std::string& relative, uid_t uid, gid_t gid);

// Always the component walk instead of openat2 (tests of the fallback).
void useComponentWalk(bool always);

} // namespace dorn
