#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// Digests as lower-case hexadecimal text. Kinds: 0 MD5, 1 SHA-1, 2 SHA-256,
// 3 SHA-512; any other kind gives none.
class THWebUtility {
public:
    // Streams the file in 4096-byte reads; none when it cannot be opened or read.
    static std::optional<std::string> hashFile(const std::string& path, int kind);
    static std::optional<std::string> hashData(const std::vector<std::uint8_t>& bytes, int kind);
    // The text's UTF-8 bytes.
    static std::optional<std::string> hashString(const std::string& text, int kind);
};

// Several digests of one stream at once, so that a file is read a single time
// whatever the kinds a lookup needs.
class MultiDigest {
public:
    explicit MultiDigest(const std::vector<int>& kinds);
    ~MultiDigest();
    MultiDigest(const MultiDigest&) = delete;
    MultiDigest& operator=(const MultiDigest&) = delete;

    bool ok() const { return ok_; }
    void update(const void* bytes, std::size_t length);
    // The digests, by kind (none for a kind not asked for).
    std::vector<std::optional<std::string>> finish();

private:
    struct Context;
    std::vector<Context*> contexts_;
    bool ok_ = true;
};

// Streams an open file (from its start) through the digests; false on a read error.
bool digestFile(int fd, MultiDigest& digest);

} // namespace tessaly
