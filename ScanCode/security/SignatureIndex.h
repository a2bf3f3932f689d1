#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessaly {

// One byte signature: the pattern expected at a fixed offset of a file.
struct VirusCodeObj {
    std::string virus_name;
    std::string virus_code; // the pattern's bytes; its length is the one matched
    std::int64_t start = 0;
    std::int64_t length = 0; // as recorded, for information
};

// One digest of a known bad file.
struct VirusMD5Obj {
    std::string virus_name;
    std::string virus_code;           // hexadecimal text, compared exactly
    int kind = 2;                     // 0 MD5, 1 SHA-1, 2 SHA-256
    std::optional<std::int64_t> size; // the file's size, when the record states one
};

// The signature tables, indexed when they are built so that looking a file up
// costs about the same whatever their size, while the answer stays exactly what
// searching them in table order would give:
// - byte signatures are grouped by their window (offset and length); a file is
//   looked up in each window once, and the match earliest in table order wins,
//   among the signatures before the first one longer than the file;
// - digests are kept in hash tables keyed by their exact text.
class SignatureIndex {
public:
    void add(const VirusCodeObj& signature);
    void add(const VirusMD5Obj& digest);

    std::size_t byteSignatures() const { return codes_.size(); }
    std::size_t digests() const { return digestCount_; }

    // The name of the first byte signature, in table order, matching the file
    // open as fd, of `size` bytes; none when none matches or a read fails.
    std::optional<std::string> matchBytes(int fd, std::int64_t size) const;

    // The digest kinds the table holds (0 MD5, 1 SHA-1, 2 SHA-256).
    std::vector<int> digestKinds() const;
    // The name of the first digest record, in table order, equal to one of the
    // file's digests (by kind; a record stating a size also needs that size); the
    // empty text when none is.
    std::string matchDigests(const std::vector<std::optional<std::string>>& byKind,
                             std::int64_t size) const;

private:
    struct DigestEntry {
        std::size_t order;
        std::optional<std::int64_t> size;
        std::string name;
    };

    std::vector<VirusCodeObj> codes_;
    std::vector<std::size_t> longestSoFar_; // longest pattern among codes_[0..i]
    // (offset, length) -> pattern -> its first index.
    std::map<std::pair<std::int64_t, std::size_t>, std::unordered_map<std::string, std::size_t>>
        windows_;
    std::unordered_map<std::string, std::vector<DigestEntry>> digests_[3];
    std::size_t digestCount_ = 0;
};

} // namespace tessaly
