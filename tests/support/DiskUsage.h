#pragma once

#include "tests/support/TempTree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::test {

// What `du -s -B1 --total` (coreutils) says the paths take on the disk together,
// in bytes: a file with several names counts once. -1 when du could not run.
std::int64_t duBytes(const std::vector<std::string>& paths);

// A file of `size` bytes whose only data is `data` bytes of 'd' at `offset`; the
// rest is a hole the file system gives no blocks.
std::string sparseFile(const TempTree& t, const std::string& relative, std::int64_t size,
                       std::int64_t offset, std::int64_t data);

// Sets the shared block size the sizes are rounded to, as the programs do at
// start (the volume's preferred block size), for the object's life.
class ScopedBlockSize {
public:
    explicit ScopedBlockSize(const std::string& onVolumeOf);
    ~ScopedBlockSize();
    ScopedBlockSize(const ScopedBlockSize&) = delete;
    ScopedBlockSize& operator=(const ScopedBlockSize&) = delete;
    std::int32_t block() const { return block_; }

private:
    std::int32_t old_;
    std::int32_t block_;
};

} // namespace tessaly::test
