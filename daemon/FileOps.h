#pragma once

// File operations of the service beside the platform's removal and atomic
// write: none of them follows a symbolic link inside a folder it works on.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dorn {

// Copies a file, link or folder with its contents to a destination that does
// not exist yet; modes are kept, links are copied as links.
bool copyItem(const std::string& from, const std::string& to);

// Writes the bytes through a temporary file beside the path, flushed and renamed
// over it (the platform's atomic write). An existing file keeps its mode; a new
// one gets 0644.
bool writeKeepingMode(const std::string& path, const void* bytes, std::size_t length);

} // namespace dorn
