#pragma once

// Mach-O universal ("fat") files: which processor slices a file holds, and
// thinning it down to one. The application's Binary cleaning and the privileged
// service share this one reader.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::macho {

// The hardware machine name (uname's machine field, at most 100 bytes), such as "x86_64".
std::string machineArchitecture();

// The Mach-O processor type for a machine name (x86_64, arm64/aarch64, i386..i686, arm*,
// ppc, ppc64); none when unknown.
std::optional<std::uint32_t> machOCpuType(const std::string& machine);

// One slice of a universal file, as its header lists it.
struct FatSlice {
    std::uint32_t cpuType = 0;
    std::uint32_t cpuSubtype = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// The most bytes of a file's start that the header readers below look at: a
// universal header with its largest believable slice table.
inline constexpr std::size_t kMaxHeaderBytes = 8 + 30 * 32;

// The slices a universal header lists, in 32- or 64-bit form and either byte
// order, from the first `size` bytes of a file `fileSize` bytes long. None when
// the bytes are not such a header, are cut short, list more slices than any
// universal file holds (Java class files share the magic) or a slice lies
// outside the file.
std::optional<std::vector<FatSlice>> parseFatSlices(const std::uint8_t* data, std::size_t size,
                                                    std::uint64_t fileSize);

// The processor types of the code in a file, from its first `size` bytes and
// its whole length: one per slice of a universal file, or the single one of a
// plain Mach-O file (32- or 64-bit, either byte order). Empty for anything else.
std::vector<std::uint32_t> executableArchitectures(const std::uint8_t* data, std::size_t size,
                                                   std::uint64_t fileSize);
// The same for a file on disk, reading no more than its header; empty when it
// cannot be read or is not a regular file.
std::vector<std::uint32_t> executableArchitectures(const std::string& path);

// The slices of a universal file; none when the file is not one (a plain Mach-O
// file, a Java class file sharing the magic, anything malformed or unreadable).
std::optional<std::vector<FatSlice>> readFatSlices(const std::string& path);

// Replaces a universal (fat) Mach-O file by its slice for cpuType, in place
// (through a temporary file renamed over it, keeping the file's mode). A file
// that is not universal, is malformed or has no such slice is left unchanged.
// True when the file was thinned.
bool thinUniversalFile(const std::string& path, std::uint32_t cpuType);

// Thins the file to the machine's architecture: runs lipoTool with
// path -thin ARCH -output path when it exists (its output is dropped), otherwise
// thinUniversalFile. Blocks until done; true when the tool succeeded or the file
// was thinned.
bool thinToMachine(const std::string& path, const std::string& lipoTool);

// Whether a file holds the code of at most one processor type (a thin executable,
// or not an executable at all).
bool holdsOneArchitecture(const std::string& path);

} // namespace tessaly::macho
