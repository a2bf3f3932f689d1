#pragma once

// Overwriting one opened file in place with a fixed pattern, block by block (the
// application erasing the user's own files and the privileged service erasing
// the rest use this one routine):
// only the extents that hold data (a sparse file's holes stay holes), with the
// stop flag read before every block, and the result synced to the disk before
// it counts as done.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tessaly {

class FileOverwrite {
public:
    static constexpr const char* kStoppedReason = "stopped before it was overwritten";

    // Forces a file's data to the disk (fdatasync); 0 on success.
    using Sync = std::function<int(int fd)>;

    // pattern: blockSize bytes, kept by the caller; stopped() is asked before
    // every block and ends the overwrite there.
    FileOverwrite(const std::uint8_t* pattern, std::size_t blockSize, std::function<bool()> stopped,
                  Sync sync = {});

    // Overwrites the regular file open for writing as fd. False, with the
    // reason in *why, when its attributes cannot be read, it is not a regular
    // file, it has several hard links (its other names would change as well),
    // or a write or the sync fails. A stop ends it before the next block with
    // false and the reason kStoppedReason: the file is not overwritten (what
    // was written is synced all the same).
    bool overwrite(int fd, std::string* why) const;
    // The same for a path, opened without following a final link and without
    // waiting on anything that is not a plain file.
    bool overwritePath(const std::string& path, std::string* why) const;

private:
    bool writeRange(int fd, std::int64_t from, std::int64_t to, bool* stopped,
                    std::string* why) const;

    const std::uint8_t* pattern_;
    std::size_t blockSize_;
    std::function<bool()> stopped_;
    Sync sync_;
};

} // namespace tessaly
