// Writes the malware-scan benchmark: a folder of files, and one list of
// signatures given in the two formats both scanners read: body signatures at
// fixed offsets (.ndb) and SHA-256 hashes with sizes (.hsb). Some files carry a
// body signature, some are a hashed file; expected.txt lists them.
//
// Usage: security_corpus DIR FILES SIGNATURES
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string hex(const unsigned char* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string sha256(const std::string& bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), md, &n, EVP_sha256(), nullptr);
    return hex(md, n);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DIR FILES SIGNATURES\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const long files = std::atol(argv[2]);
    const long signatures = std::atol(argv[3]);
    std::mt19937_64 random(20261210);
    auto bytes = [&random](std::size_t n) {
        std::string s(n, '\0');
        for (auto& c : s)
            c = static_cast<char>(random() & 0xff);
        return s;
    };
    const long offsets[] = {0, 64, 256, 1024};
    struct Body {
        long offset;
        std::string pattern;
    };
    std::vector<Body> bodies;
    std::ofstream ndb(root / "sigs.ndb"), hsb(root / "sigs.hsb"), expected(root / "expected.txt");
    for (long i = 0; i < signatures / 2; ++i) {
        Body b{offsets[i % 4], bytes(16)};
        ndb << "Bench.Body." << i << ":0:" << b.offset << ":"
            << hex(reinterpret_cast<const unsigned char*>(b.pattern.data()), 16) << "\n";
        bodies.push_back(std::move(b));
    }
    fs::create_directories(root / "corpus");
    long hashed = 0;
    for (long f = 0; f < files; ++f) {
        const fs::path folder = root / "corpus" / ("d" + std::to_string(f % 100));
        fs::create_directories(folder);
        std::string content = bytes(2048 + static_cast<std::size_t>(random() % 30000));
        const fs::path path = folder / ("f" + std::to_string(f) + ".bin");
        if (f % 200 == 0) { // carries a body signature
            const Body& b = bodies[static_cast<std::size_t>(random() % bodies.size())];
            content.replace(static_cast<std::size_t>(b.offset), b.pattern.size(), b.pattern);
            expected << path.string() << "\n";
        } else if (f % 200 == 100) { // a file whose hash is listed
            hsb << sha256(content) << ":" << content.size() << ":Bench.Hash.File" << f << "\n";
            expected << path.string() << "\n";
            ++hashed;
        }
        std::ofstream(path, std::ios::binary) << content;
    }
    for (long i = hashed; i < signatures / 2; ++i)
        hsb << sha256(bytes(64)) << ":" << 2048 + i << ":Bench.Hash." << i << "\n";
    std::printf("%ld files, %ld signatures\n", files, signatures);
    return 0;
}
