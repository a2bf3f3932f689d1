#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// Splits files that should all be `size` bytes long into classes of equal
// contents, always decided by comparing the bytes. A few files are read side by
// side, and reading stops for a file as soon as it matches no other; a larger set
// is first split by a hash of each file's contents, and each part is then
// compared byte for byte with its first file. Each class lists indices into paths,
// in input order; classes are ordered by their first index. Files that cannot be
// read in full, or no longer have the size, belong to no class, nor do files that
// match no other. Empty when cancelled.
std::vector<std::vector<std::size_t>>
partitionByContents(const std::vector<std::string>& paths, std::int64_t size,
                    const std::function<bool()>& cancelled = {});

} // namespace tessaly
