#include "platform/BookmarkData.h"

#include <cstring>

namespace tessaly::bookmark {

namespace {

constexpr std::uint32_t kTocMagic = 0xfffffffe;
constexpr std::uint32_t kKeyPath = 0x1004;       // the target's path components
constexpr std::uint32_t kKeyVolumePath = 0x2002; // the target volume's mount point
constexpr std::uint32_t kTypeString = 0x0101;
constexpr std::uint32_t kTypeArray = 0x0601;
constexpr std::size_t kHeaderSize = 48;
constexpr std::size_t kMaxTables = 64;
constexpr std::size_t kMaxComponents = 4096;

// Bounds-checked little-endian reads over the data.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::optional<std::uint32_t> u32(std::size_t at) const {
        if (at > size_ || size_ - at < 4)
            return std::nullopt;
        return std::uint32_t(data_[at]) | std::uint32_t(data_[at + 1]) << 8 |
               std::uint32_t(data_[at + 2]) << 16 | std::uint32_t(data_[at + 3]) << 24;
    }
    bool has(std::size_t at, std::size_t n) const { return at <= size_ && size_ - at >= n; }
    const std::uint8_t* at(std::size_t offset) const { return data_ + offset; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// A record at an offset from the end of the header: its type and its bytes.
struct Record {
    std::uint32_t type;
    std::size_t start;
    std::size_t length;
};

std::optional<Record> recordAt(const Reader& r, std::size_t base, std::uint32_t offset) {
    const std::size_t at = base + offset;
    auto length = r.u32(at);
    auto type = r.u32(at + 4);
    if (!length || !type || !r.has(at + 8, *length))
        return std::nullopt;
    return Record{*type, at + 8, *length};
}

// Where the header ends: 48 bytes, or the size the header states for itself in
// the "book....mark" form that bookmark files use.
std::optional<std::size_t> headerEnd(const Reader& r, std::size_t size) {
    const bool markForm = r.has(8, 4) && std::memcmp(r.at(8), "mark", 4) == 0;
    auto stated = r.u32(markForm ? 16 : 12);
    if (!stated || *stated < 16 || *stated >= size)
        return std::nullopt;
    return std::size_t(*stated);
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void setU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends a record (padded to 4 bytes) and returns its offset from the header's end.
std::uint32_t putRecord(std::vector<std::uint8_t>& out, std::uint32_t type,
                        const std::vector<std::uint8_t>& bytes) {
    const auto offset = static_cast<std::uint32_t>(out.size() - kHeaderSize);
    putU32(out, static_cast<std::uint32_t>(bytes.size()));
    putU32(out, type);
    out.insert(out.end(), bytes.begin(), bytes.end());
    while (out.size() % 4)
        out.push_back(0);
    return offset;
}

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

} // namespace

bool looksLikeBookmark(const std::uint8_t* data, std::size_t size, std::uint64_t totalSize) {
    if (size < 20 || std::memcmp(data, "book", 4) != 0)
        return false;
    Reader r(data, size);
    if (std::memcmp(data + 8, "mark", 4) == 0)
        return *r.u32(16) >= 20 && *r.u32(16) < totalSize;
    return *r.u32(4) == totalSize && *r.u32(12) >= 16 && *r.u32(12) < totalSize;
}

std::optional<std::string> targetPath(const std::uint8_t* data, std::size_t size) {
    if (!looksLikeBookmark(data, size, size))
        return std::nullopt;
    Reader r(data, size);
    auto base = headerEnd(r, size);
    if (!base)
        return std::nullopt;
    auto tocOffset = r.u32(*base);
    for (std::size_t tables = 0; tocOffset && *tocOffset != 0 && tables < kMaxTables; ++tables) {
        const std::size_t toc = *base + *tocOffset;
        auto magic = r.u32(toc + 4);
        auto next = r.u32(toc + 12);
        auto count = r.u32(toc + 16);
        if (!magic || *magic != kTocMagic || !next || !count ||
            !r.has(toc + 20, std::size_t(*count) * 12))
            return std::nullopt;
        for (std::uint32_t e = 0; e < *count; ++e) {
            const std::size_t entry = toc + 20 + std::size_t(e) * 12;
            if (*r.u32(entry) != kKeyPath)
                continue;
            auto array = recordAt(r, *base, *r.u32(entry + 4));
            if (!array || array->type != kTypeArray || array->length % 4 ||
                array->length / 4 > kMaxComponents)
                return std::nullopt;
            std::string path;
            for (std::size_t i = 0; i < array->length / 4; ++i) {
                auto part = recordAt(r, *base, *r.u32(array->start + i * 4));
                if (!part || part->type != kTypeString || part->length == 0)
                    return std::nullopt;
                std::string component(reinterpret_cast<const char*>(r.at(part->start)),
                                      part->length);
                if (component.find('/') != std::string::npos ||
                    component.find('\0') != std::string::npos)
                    return std::nullopt;
                path += "/" + component;
            }
            return path.empty() ? std::string("/") : path;
        }
        if (*next == *tocOffset)
            return std::nullopt; // a table that names itself as the next one
        tocOffset = next;
    }
    return std::nullopt;
}

std::optional<std::string> targetPath(const std::vector<std::uint8_t>& data) {
    return targetPath(data.data(), data.size());
}

std::vector<std::uint8_t> makeBookmark(const std::string& target) {
    std::vector<std::uint8_t> out{'b', 'o', 'o', 'k'};
    out.reserve(kHeaderSize + 64 + target.size() * 2);
    putU32(out, 0);          // total size, set at the end
    putU32(out, 0x10040000); // version
    putU32(out, kHeaderSize);
    out.resize(kHeaderSize, 0);
    putU32(out, 0); // offset of the first table, set below

    std::vector<std::uint32_t> components;
    std::size_t start = 0;
    while (start < target.size()) {
        std::size_t slash = target.find('/', start);
        if (slash == std::string::npos)
            slash = target.size();
        if (slash > start)
            components.push_back(
                putRecord(out, kTypeString, bytesOf(target.substr(start, slash - start))));
        start = slash + 1;
    }
    std::vector<std::uint8_t> offsets;
    for (std::uint32_t c : components)
        for (int i = 0; i < 4; ++i)
            offsets.push_back(static_cast<std::uint8_t>(c >> (8 * i)));
    const std::uint32_t path = putRecord(out, kTypeArray, offsets);
    const std::uint32_t volume = putRecord(out, kTypeString, bytesOf("/"));

    const auto toc = static_cast<std::uint32_t>(out.size() - kHeaderSize);
    const std::uint32_t entries = 2;
    putU32(out, 12 + entries * 12); // the table's size, less its first 8 bytes
    putU32(out, kTocMagic);
    putU32(out, 1); // identifier
    putU32(out, 0); // no next table
    putU32(out, entries);
    for (auto [key, offset] : {std::pair{kKeyPath, path}, std::pair{kKeyVolumePath, volume}}) {
        putU32(out, key);
        putU32(out, offset);
        putU32(out, 0);
    }
    setU32(out, kHeaderSize, toc);
    setU32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

} // namespace tessaly::bookmark
