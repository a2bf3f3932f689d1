#pragma once

// File operations of the service, done as root: none of them follows a
// symbolic link inside a folder it works on.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dorn {

// Whether anything exists at the path (a final link is not followed).
bool itemExists(const std::string& path);

// Removes a file, a link (the link itself) or a folder with everything in it.
// Every folder is entered through its parent's descriptor without following a
// link, so a folder swapped for a link cannot lead the removal elsewhere. True
// when nothing is left at the path.
bool removeItem(const std::string& path);

// Copies a file, link or folder with its contents to a destination that does
// not exist yet; modes are kept, links are copied as links.
bool copyItem(const std::string& from, const std::string& to);

// Writes the bytes to a temporary file beside the path, flushes it and renames
// it over the path. An existing file keeps its mode; a new one gets 0644.
bool writeAtomically(const std::string& path, const void* bytes, std::size_t length);

// Creates the folder and its missing parents (mode 0755).
bool makeDirectories(const std::string& path);

} // namespace dorn
