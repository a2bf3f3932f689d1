#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaly {

// Splits files that should all be `size` bytes long into classes of equal
// contents by reading them side by side and comparing the bytes; reading stops
// for a file as soon as it matches no other. Each class lists indices into paths,
// in input order; classes are ordered by their first index. Files that cannot be
// read in full, or no longer have the size, belong to no class, nor do files that
// match no other. Empty when cancelled.
std::vector<std::vector<std::size_t>>
partitionByContents(const std::vector<std::string>& paths, std::int64_t size,
                    const std::function<bool()>& cancelled = {});

} // namespace tessaly
