#pragma once

#include <string>

namespace tessaly::packages {

// Compares two Debian package versions ("[epoch:]upstream[-revision]") as dpkg
// does: below zero when a is older, zero when they are the same version, above
// zero when a is newer. "~" sorts before everything, even the end ("1.0~rc1"
// before "1.0"); digits compare as numbers, letters before other signs.
int compareVersions(const std::string& a, const std::string& b);

} // namespace tessaly::packages
