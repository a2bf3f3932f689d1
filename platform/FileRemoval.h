#pragma once

#include <functional>
#include <string>

namespace tessaly::fileops {

// Removes a file, a symbolic link (the link itself) or a folder with everything in
// it. The removal never follows a link: a link met inside a folder is removed as a
// link and what it points to is left alone, and every folder is entered through
// its parent's descriptor with O_NOFOLLOW, so a folder swapped for a link during
// the removal cannot lead outside the item. Nor does it cross into another file
// system: a mount (or bind mount) met inside, or at the path itself, is left as
// it is, with its reason. Returns true only when the path is
// really gone afterwards; otherwise false with the first failure in *error (what
// could be removed is removed). cancelled() is polled between entries.
bool removeItem(const std::string& path, std::string* error = nullptr,
                const std::function<bool()>& cancelled = {});

// The same for the entry `name` of the folder open as parentFd (a name without
// slashes): true only when looking the name up in that folder afterwards
// answers that nothing is there.
bool removeItemAt(int parentFd, const std::string& name, std::string* error = nullptr,
                  const std::function<bool()>& cancelled = {});

// Whether something (a file, folder or link) may be at the path, without
// following a final link: false only when looking it up answers that there is
// no such file (ENOENT, or ENOTDIR for a path through a file). Any other answer,
// such as a folder on the way that may not be searched, means it may still be there.
bool itemExists(const std::string& path);

} // namespace tessaly::fileops
