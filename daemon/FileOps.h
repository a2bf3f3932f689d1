#pragma once

// The service's writes, all made through descriptors of folders reached
// beneath an allowed place. Nothing they create or rewrite carries the setuid,
// setgid or sticky bit.

#include "daemon/Caller.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace dorn {

// Writes the new contents into the open temporary file; false with *why when it cannot.
using FillFile = std::function<bool(int fd, std::string* why)>;

// Replaces the entry `name` of the folder dirFd by a temporary file beside it,
// filled, synced and put in its place in one step. `expected` is the file that
// was read (its attributes from its descriptor): the new file takes its owner,
// group and mode, and it goes in only while `name` still is that very file (the
// two are exchanged, then checked, and exchanged back when another file had
// taken its place). Without `expected`, an existing regular file is the one
// expected, and a missing one is made for uid/gid with mode 0644. Refused
// (false, *why) when the entry is a link or anything but a regular file.
bool replaceFileAt(int dirFd, const std::string& name, const FillFile& fill, uid_t uid, gid_t gid,
                   const struct stat* expected, std::string* why);
bool replaceFileAt(int dirFd, const std::string& name, const void* bytes, std::size_t length,
                   uid_t uid, gid_t gid, std::string* why);

// Writes all of the bytes to fd at offset; false when a write fails.
bool writeAllAt(int fd, const void* bytes, std::size_t length, std::uint64_t offset);

// Copies the entry srcName of srcDir (a file, a link as a link, or a folder with
// its contents) to dstName of dstDir, which must not exist. The source is
// opened and read with the caller's own rights, so only what the caller may read
// is copied; what is made belongs to the caller and keeps the source's
// permission bits.
bool copyItemAt(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
                const Caller& caller, std::string* why);

} // namespace dorn
