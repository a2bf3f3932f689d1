#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::bookmark {

// Alias files of the macOS layout hold bookmark data: a "book" header, then
// tables of contents whose entries map numeric keys to typed records (strings,
// numbers, arrays of record offsets, ...), all offsets relative to the end of
// the header and little-endian. Only what finds and names the target is read
// and written here: the target's path, as the array of its components (key
// 0x1004).

// Whether the first bytes of a file of totalSize bytes make a bookmark header:
// the magic "book", then either "mark" and a header size inside the file (the
// form bookmark files take) or the file's own size and a header size inside the
// file. A text that merely begins with "book" is not taken for one. At least 20
// bytes are needed.
bool looksLikeBookmark(const std::uint8_t* data, std::size_t size, std::uint64_t totalSize);

// The target path ("/Users/me/Documents/report.pdf"); none for data that is not
// bookmark data, is damaged anywhere on the way to the path, or holds no path.
std::optional<std::string> targetPath(const std::uint8_t* data, std::size_t size);
std::optional<std::string> targetPath(const std::vector<std::uint8_t>& data);

// Bookmark data naming an absolute path, in the layout targetPath reads.
std::vector<std::uint8_t> makeBookmark(const std::string& target);

} // namespace tessaly::bookmark
