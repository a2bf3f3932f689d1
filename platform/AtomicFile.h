#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// Replaces a file's contents all at once: the bytes go to a temporary file in the
// same folder, are flushed to disk, and the temporary file is renamed over the
// target. A crash at any point leaves either the old or the new contents.
bool writeFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                         std::string* error = nullptr, unsigned mode = 0644);

// The same for a file that may already exist: the new contents keep its mode
// (set-id bits included) and its owner and group, so a private file stays
// private. A file not there yet is made with newMode. When the owner cannot be
// kept (another user's file, and no right to give the copy to them) nothing is
// replaced and false is returned.
bool rewriteFileAtomically(const std::string& path, const void* bytes, std::size_t length,
                           std::string* error = nullptr, unsigned newMode = 0644);

// Reads a whole regular file of at most maxBytes. None when missing, unreadable,
// not a regular file or too large.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                       std::size_t maxBytes);

} // namespace tessaly
