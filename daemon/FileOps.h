#pragma once

// The service's writes, all made through descriptors of folders reached
// beneath an allowed place. Nothing they create or rewrite carries the setuid,
// setgid or sticky bit.

#include "daemon/Caller.h"

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace dorn {

// Replaces the contents of the entry `name` of the folder dirFd through a
// temporary file beside it, synced and renamed over it. An existing regular
// file keeps its owner, group and mode; a new one belongs to uid/gid with mode
// 0644. Refused (false, *why) when the entry is a link or anything but a
// regular file.
bool replaceFileAt(int dirFd, const std::string& name, const void* bytes, std::size_t length,
                   uid_t uid, gid_t gid, std::string* why);

// Copies the entry srcName of srcDir (a file, a link as a link, or a folder with
// its contents) to dstName of dstDir, which must not exist. The source is
// opened and read with the caller's own rights, so only what the caller may read
// is copied; what is made belongs to the caller and keeps the source's
// permission bits.
bool copyItemAt(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
                const Caller& caller, std::string* why);

} // namespace dorn
