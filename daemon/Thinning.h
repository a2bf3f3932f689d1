#pragma once

// Thinning an executable to the machine's own processor: "/usr/bin/lipo" when
// that tool exists, otherwise our own reading of Mach-O universal files.

#include <cstdint>
#include <optional>
#include <string>

namespace dorn {

// The hardware machine name (uname's machine field, at most 100 bytes), such as "x86_64".
std::string machineArchitecture();

// The Mach-O processor type for a machine name (x86_64, arm64/aarch64, i386..i686, arm*,
// ppc, ppc64); none when unknown.
std::optional<std::uint32_t> machOCpuType(const std::string& machine);

// Replaces a universal (fat) Mach-O file by its slice for cpuType, in place
// (through a temporary file renamed over it, keeping the file's mode). A file
// that is not universal, is malformed or has no such slice is left unchanged.
// True when the file was thinned.
bool thinUniversalFile(const std::string& path, std::uint32_t cpuType);

// Thins the file to the machine's architecture: runs lipoTool with
// path -thin ARCH -output path when it exists (its output is read and dropped,
// its status not examined), otherwise thinUniversalFile.
void thinToMachine(const std::string& path, const std::string& lipoTool);

} // namespace dorn
