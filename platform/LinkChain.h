#pragma once

#include <optional>
#include <string>

namespace tessaly::fileops {

// The entry a path ends at once its symbolic links are followed, each absolute
// target placed under the system root as the machine records it (so a fixture
// root never leads out to this machine's own files). The path itself when it is
// no link; none for a loop, a chain too long, or a link that cannot be read.
// The end need not exist.
std::optional<std::string> followLinks(const std::string& path);

} // namespace tessaly::fileops
