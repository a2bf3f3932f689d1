// Writes the duplicate-scan benchmark corpus into an empty folder:
//   unique/      unique files of many sizes (so many share a size but not contents)
//   copies/      copies of some of them, under suffixed names
//   samesize/    files of one size that differ only outside the sampled blocks
//   media/       large media files, some copied into media/copies
//   small/       files at or under 10,240 bytes, some duplicated (never listed)
//   bundles/     application bundles, some copied whole
// Usage: duplicates_corpus DIR [SCALE]; SCALE (default 1) multiplies the counts.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::mt19937_64 rng(20261210);

std::string randomBytes(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t v = rng();
        for (std::size_t k = 0; k < 8 && i + k < size; ++k)
            s[i + k] = static_cast<char>((v >> (8 * k)) & 0xff);
    }
    return s;
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t between(std::size_t lo, std::size_t hi) {
    return lo + static_cast<std::size_t>(rng() % (hi - lo + 1));
}

const char* const kDocuments[] = {"txt", "pdf", "docx", "jpg", "png", "mp3", "zip", "dat"};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [SCALE]\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    std::size_t files = 0, bytes = 0;
    auto put = [&](const fs::path& p, const std::string& b) {
        write(p, b);
        ++files;
        bytes += b.size();
    };

    // Unique files; every tenth gets one or two copies.
    for (int i = 0; i < 20000 * scale; ++i) {
        const char* ext = kDocuments[i % 8];
        const std::string name = "file" + std::to_string(i);
        const fs::path dir = root / "unique" / ("d" + std::to_string(i / 200));
        std::string b = randomBytes(between(10241, 40000));
        put(dir / (name + "." + ext), b);
        if (i % 10 == 0) {
            put(root / "copies" / ("c" + std::to_string(i / 500)) / (name + " copy." + ext), b);
            if (i % 30 == 0)
                put(root / "copies" / ("c" + std::to_string(i / 500)) / (name + " 2." + ext), b);
        }
    }

    // One size, contents equal in the sampled blocks, different in the middle.
    const std::size_t same = 65536;
    const std::string base = randomBytes(same);
    for (int i = 0; i < 2000 * scale; ++i) {
        std::string b = base;
        b[30000 + static_cast<std::size_t>(i) % 4000] ^= static_cast<char>(1 + i % 255);
        b[10000 + static_cast<std::size_t>(i) / 255 % 4000] ^= 0x20;
        put(root / "samesize" / ("s" + std::to_string(i / 250)) /
                ("same" + std::to_string(i) + ".dat"),
            b);
    }

    // Large media; a third copied once, some twice.
    const char* const media[] = {"mp4", "mov", "mp3", "mkv"};
    for (int i = 0; i < 40 * scale; ++i) {
        const std::string name = "clip" + std::to_string(i) + "." + media[i % 4];
        std::string b = randomBytes(between(1u << 20, 8u << 20));
        put(root / "media" / name, b);
        if (i % 3 == 0)
            put(root / "media" / "copies" / name, b);
        if (i % 9 == 0)
            put(root / "Downloads" / name, b);
    }

    // At or under the floor.
    for (int i = 0; i < 5000 * scale; ++i) {
        std::string b = randomBytes(between(100, 10240));
        put(root / "small" / ("m" + std::to_string(i / 500)) /
                ("small" + std::to_string(i) + ".txt"),
            b);
        if (i % 5 == 0)
            put(root / "small" / "copies" / ("small" + std::to_string(i) + ".txt"), b);
    }

    // Bundles: twenty files each; half of them copied whole.
    for (int i = 0; i < 6; ++i) {
        std::vector<std::pair<std::string, std::string>> content;
        for (int k = 0; k < 20; ++k)
            content.push_back({"Contents/Resources/r" + std::to_string(k) + ".dat",
                               randomBytes(between(2000, 30000))});
        content.push_back({"Contents/MacOS/Tool" + std::to_string(i), randomBytes(200000)});
        for (const auto& [rel, b] : content)
            put(root / "bundles" / ("Tool" + std::to_string(i) + ".app") / rel, b);
        if (i % 2 == 0)
            for (const auto& [rel, b] : content)
                put(root / "bundles" / "copies" / ("Tool" + std::to_string(i) + ".app") / rel, b);
    }

    std::printf("%zu files, %zu MB\n", files, bytes >> 20);
    return 0;
}
