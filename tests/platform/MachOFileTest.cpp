// The universal-file reader shared by the service and the application.
#include "platform/MachOFile.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

using namespace tessaly;

namespace {

void be32(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((v >> shift) & 0xFF);
}

// A universal file with one slice per (cpu type, contents), slices 4 KiB apart.
std::string universal(const std::vector<std::pair<std::uint32_t, std::string>>& slices) {
    std::string out;
    be32(out, 0xCAFEBABE);
    be32(out, static_cast<std::uint32_t>(slices.size()));
    std::uint32_t offset = 4096;
    for (const auto& [cpu, bytes] : slices) {
        be32(out, cpu);
        be32(out, 3);
        be32(out, offset);
        be32(out, static_cast<std::uint32_t>(bytes.size()));
        be32(out, 12);
        offset += 4096;
    }
    for (const auto& slice : slices) {
        out.resize(((out.size() + 4095) / 4096) * 4096, '\0');
        out += slice.second;
    }
    return out;
}

} // namespace

TEST(MachOFile, ReadsSlicesAndThinsToOne) {
    test::TempTree t;
    const std::uint32_t x86 = 0x01000007, arm = 0x0100000C;
    std::string fat = t.file("fat", universal({{arm, "arm-bytes"}, {x86, "x86-bytes"}}));
    ::chmod(fat.c_str(), 0751);
    auto slices = macho::readFatSlices(fat);
    ASSERT_TRUE(slices);
    ASSERT_EQ(slices->size(), 2u);
    EXPECT_EQ((*slices)[0].cpuType, arm);
    EXPECT_EQ((*slices)[1].cpuType, x86);
    EXPECT_EQ((*slices)[1].offset, 8192u);
    EXPECT_EQ((*slices)[1].size, 9u);

    EXPECT_TRUE(macho::thinUniversalFile(fat, x86));
    EXPECT_EQ(test::readText(fat), "x86-bytes");
    struct stat st {};
    ASSERT_EQ(::stat(fat.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_FALSE(macho::readFatSlices(fat)); // no longer universal

    // Not universal, or not believable: left alone.
    std::string java = t.file("Klass.class", std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x41", 8));
    std::string truncated = universal({{x86, "x86-bytes"}});
    truncated.resize(4100);
    std::string cut = t.file("cut", truncated);
    for (const std::string& path : {java, cut, t.file("plain", "plain text"), t.path("missing")}) {
        EXPECT_FALSE(macho::readFatSlices(path)) << path;
        EXPECT_FALSE(macho::thinUniversalFile(path, x86)) << path;
    }
    EXPECT_EQ(test::readText(cut), truncated);
    EXPECT_EQ(macho::machOCpuType("aarch64"), arm);
    EXPECT_EQ(macho::machOCpuType("x86_64"), x86);
    EXPECT_FALSE(macho::machOCpuType("riscv64"));
}
