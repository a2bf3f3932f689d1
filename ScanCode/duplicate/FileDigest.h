#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tessaly::digest {

// The sampled digest of a file: MD5 over n = min(size / 4096 + 1, 3) blocks of up
// to 4096 bytes read at offsets i * (size / n). None when the file cannot be
// opened or read, or is empty. 32 lower-case hex digits.
std::optional<std::string> MD5File(const std::string& path,
                                   const std::function<bool()>& stopped = {});

// The sampled digest of a bundle: one MD5 over the samples of every file inside,
// folders taken last in first out and each folder's entries in name order, so
// that identical bundles always get the same digest. Hidden entries and links
// are skipped; an empty or unreadable file ends its folder's listing.
std::optional<std::string> MD5Dir(const std::string& path,
                                  const std::function<bool()>& stopped = {});

// A digest of a bundle's whole contents: every entry's relative path and kind,
// every file's full bytes and every link's target, hidden entries included.
// Two bundles with the same digest hold the same tree. None when any entry
// cannot be read.
std::optional<std::string> bundleContentDigest(const std::string& path,
                                               const std::function<bool()>& stopped = {});

// Opens a file for reading without following a final link, without blocking on
// a pipe, and where allowed without touching its last-access time (which the
// keep order reads as the last-opened date). -1 on failure.
int openForReading(const std::string& path);

// Lower-case hex of bytes.
std::string hex(const unsigned char* bytes, std::size_t length);

} // namespace tessaly::digest
