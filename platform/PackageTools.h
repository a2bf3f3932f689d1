#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::packages {

// The package tools of a Linux system. Each is found through its own variable
// (TESSALY_APT_GET, TESSALY_FLATPAK, TESSALY_SNAP, TESSALY_PKEXEC), else at its
// usual place.
std::string aptGetTool();
std::string flatpakTool();
std::string snapTool();
std::string pkexecTool();

// What "apt-get -s remove" says a removal would do.
struct AptSimulation {
    bool ok = false;                   // apt could plan the removal
    std::vector<std::string> removed;  // every package that would go ("Remv" and "Purg" lines)
    std::optional<std::int64_t> freed; // bytes, when apt said how much the removal frees
    std::string error;                 // why apt could not plan it (its "E:" lines)
};

// Reads the simulation's output and exit status. Lines other than "Remv NAME
// [VERSION]", "Purg NAME [VERSION]", "After this operation, N kB disk space will
// be freed." and "E: ..." are ignored; a package's ":arch" qualifier is kept.
AptSimulation parseAptSimulation(const std::string& output, int exitStatus);

// Runs "apt-get -s remove|purge -- PACKAGE..." (as whoever we are: a simulation
// needs no rights) and reads it.
AptSimulation simulateRemoval(const std::vector<std::string>& names, bool purge);

// Whether a text is a package name dpkg accepts (with an optional ":arch"), so
// that no name can pass for an option of the tool.
bool isPackageName(const std::string& name);

} // namespace tessaly::packages
