// The universal-file reader shared by the service and the application.
#include "platform/MachOFile.h"

#include "tests/support/MachOBytes.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

using namespace tessaly;

using test::universal;

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

TEST(MachOFile, ExecutableArchitecturesFromHeaders) {
    using test::kCpuI386;
    using test::kCpuX86_64;
    const std::string fat = universal({{kCpuX86_64, "x86"}, {kCpuI386, "i386"}});
    // A slice count far beyond the table, and one whose table is cut short.
    std::string huge = fat;
    huge[4] = '\x7F';
    std::string shortTable = fat.substr(0, 8 + 20);
    // Slices that lie beyond the file's end.
    std::string beyond = fat;
    beyond[8 + 8] = '\x70'; // first slice's offset
    std::string tooLong = fat;
    tooLong[8 + 12] = '\x10'; // first slice's size
    const std::vector<std::uint32_t> both{kCpuX86_64, kCpuI386};
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"fat 32, big-endian", fat, both},
        {"fat 32, little-endian",
         universal({{kCpuX86_64, "x86"}, {kCpuI386, "i386"}}, {false, false}), both},
        {"fat 64, big-endian", universal({{kCpuX86_64, "x86"}, {kCpuI386, "i386"}}, {true, true}),
         both},
        {"fat 64, little-endian",
         universal({{kCpuX86_64, "x86"}, {kCpuI386, "i386"}}, {true, false}), both},
        {"thin 64, little-endian", test::thinMachO(kCpuX86_64), {kCpuX86_64}},
        {"thin 64, big-endian",
         test::thinMachO(test::kCpuPpc | 0x01000000, true, true),
         {test::kCpuPpc | 0x01000000}},
        {"thin 32, little-endian", test::thinMachO(kCpuI386, false), {kCpuI386}},
        {"thin 32, big-endian", test::thinMachO(test::kCpuPpc, false, true), {test::kCpuPpc}},
        {"thin header cut short", test::thinMachO(kCpuX86_64, true, false, "").substr(0, 20), {}},
        {"slice count huge", huge, {}},
        {"slice table cut short", shortTable, {}},
        {"slice offset beyond the end", beyond, {}},
        {"slice size beyond the end", tooLong, {}},
        {"no slices", fat.substr(0, 4) + std::string(4, '\0'), {}},
        {"Java class", std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x41", 8), {}},
        {"text", "#!/bin/sh\necho hello\n", {}},
        {"empty", "", {}},
    };
    test::TempTree t;
    for (const Case& c : cases) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        EXPECT_EQ(macho::executableArchitectures(data, c.bytes.size(), c.bytes.size()), c.expected)
            << c.what;
        EXPECT_EQ(macho::executableArchitectures(t.file("exe", c.bytes)), c.expected) << c.what;
        // Only the header is in hand: the slice bounds are checked against the file.
        const std::size_t head = std::min(c.bytes.size(), macho::kMaxHeaderBytes);
        EXPECT_EQ(macho::executableArchitectures(data, head, c.bytes.size()), c.expected) << c.what;
    }
    EXPECT_TRUE(macho::executableArchitectures(t.path("missing")).empty());
    EXPECT_TRUE(macho::executableArchitectures(t.dir("folder")).empty());
    EXPECT_TRUE(macho::executableArchitectures(nullptr, 0, 0).empty());
}

TEST(MachOFile, ThinsALittleEndianUniversalFile) {
    test::TempTree t;
    std::string fat =
        t.file("fat", universal({{test::kCpuI386, "i386-bytes"}, {test::kCpuX86_64, "x86-bytes"}},
                                {true, false}));
    EXPECT_TRUE(macho::thinUniversalFile(fat, test::kCpuX86_64));
    EXPECT_EQ(test::readText(fat), "x86-bytes");
}
