#pragma once

// Hand-made Mach-O files for tests: universal ("fat") files in either header
// width and byte order, and plain single-architecture files.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessaly::test {

inline constexpr std::uint32_t kCpuX86_64 = 0x01000007;
inline constexpr std::uint32_t kCpuI386 = 7;
inline constexpr std::uint32_t kCpuArm64 = 0x0100000C;
inline constexpr std::uint32_t kCpuPpc = 18;

// Appends `v` as `width` bytes in the given order.
inline void putNumber(std::string& s, std::uint64_t v, unsigned width, bool bigEndian = true) {
    for (unsigned i = 0; i < width; ++i) {
        unsigned shift = 8 * (bigEndian ? width - 1 - i : i);
        s += static_cast<char>((v >> shift) & 0xFF);
    }
}

inline void be32(std::string& s, std::uint32_t v) {
    putNumber(s, v, 4);
}

struct FatForm {
    bool wide = false;     // the 64-bit header (0xCAFEBABF)
    bool bigEndian = true; // the usual order; false writes the byte-swapped magic
};

// A universal file with one slice per (cpu type, contents), slices 4 KiB apart.
inline std::string universal(const std::vector<std::pair<std::uint32_t, std::string>>& slices,
                             FatForm form = {}) {
    const bool be = form.bigEndian;
    std::string out;
    putNumber(out, form.wide ? 0xCAFEBABF : 0xCAFEBABE, 4, be);
    putNumber(out, slices.size(), 4, be);
    std::uint64_t offset = 4096;
    for (const auto& [cpu, bytes] : slices) {
        putNumber(out, cpu, 4, be);
        putNumber(out, 3, 4, be);
        putNumber(out, offset, form.wide ? 8 : 4, be);
        putNumber(out, bytes.size(), form.wide ? 8 : 4, be);
        putNumber(out, 12, 4, be);
        if (form.wide)
            putNumber(out, 0, 4, be);
        offset += 4096;
    }
    for (const auto& slice : slices) {
        out.resize(((out.size() + 4095) / 4096) * 4096, '\0');
        out += slice.second;
    }
    return out;
}

// A plain Mach-O file for one cpu type: its header and `body` after it.
inline std::string thinMachO(std::uint32_t cpu, bool wide = true, bool bigEndian = false,
                             const std::string& body = "code") {
    std::string out;
    putNumber(out, wide ? 0xFEEDFACF : 0xFEEDFACE, 4, bigEndian);
    putNumber(out, cpu, 4, bigEndian);
    putNumber(out, 3, 4, bigEndian); // subtype
    putNumber(out, 2, 4, bigEndian); // executable
    putNumber(out, 0, 4, bigEndian); // load commands
    putNumber(out, 0, 4, bigEndian);
    putNumber(out, 0, 4, bigEndian); // flags
    if (wide)
        putNumber(out, 0, 4, bigEndian);
    return out + body;
}

} // namespace tessaly::test
