#include "platform/BinaryCookies.h"

#include "platform/AtomicFile.h"

#include <cstring>

namespace tessaly::binarycookies {

namespace {

constexpr std::size_t kMaxFile = std::size_t{64} << 20;
constexpr std::uint8_t kMagic[4] = {'c', 'o', 'o', 'k'};
constexpr std::uint8_t kPageHeader[4] = {0x00, 0x00, 0x01, 0x00};
// size, version, flags, has-port, four string offsets, the comment offsets,
// expiry and creation: the fixed part of a record.
constexpr std::size_t kRecordHeader = 56;

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint32_t le32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           std::uint32_t{p[0]};
}

double le64Double(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

void putBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putLe64Double(std::vector<std::uint8_t>& out, double d) {
    std::uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A NUL-terminated string at an offset inside a record; none when it runs past it.
std::optional<std::string> stringAt(const std::uint8_t* record, std::size_t size,
                                    std::uint32_t offset) {
    if (offset < kRecordHeader || offset >= size)
        return std::nullopt;
    const void* end = std::memchr(record + offset, 0, size - offset);
    if (!end)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(record + offset),
                       static_cast<const std::uint8_t*>(end) - (record + offset));
}

std::uint32_t pageChecksum(const std::vector<std::uint8_t>& page) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < page.size(); i += 4)
        sum += page[i];
    return sum;
}

} // namespace

std::optional<CookieStore> CookieStore::parse(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes || length < 8 || std::memcmp(bytes, kMagic, 4) != 0)
        return std::nullopt;
    const std::uint64_t pageCount = be32(bytes + 4);
    std::size_t at = 8;
    if (pageCount > (length - at) / 4)
        return std::nullopt;
    std::vector<std::uint32_t> sizes;
    for (std::uint64_t i = 0; i < pageCount; ++i, at += 4)
        sizes.push_back(be32(bytes + at));

    CookieStore store;
    for (std::uint32_t pageSize : sizes) {
        if (pageSize > length - at || pageSize < 12)
            return std::nullopt;
        const std::uint8_t* page = bytes + at;
        if (std::memcmp(page, kPageHeader, 4) != 0)
            return std::nullopt;
        const std::uint64_t count = le32(page + 4);
        if (count > (pageSize - 12) / 4)
            return std::nullopt;
        std::vector<Record> records;
        for (std::uint64_t c = 0; c < count; ++c) {
            const std::uint32_t offset = le32(page + 8 + 4 * c);
            if (offset > pageSize || pageSize - offset < kRecordHeader)
                return std::nullopt;
            const std::uint8_t* record = page + offset;
            const std::uint32_t size = le32(record);
            if (size < kRecordHeader || size > pageSize - offset)
                return std::nullopt;
            auto domain = stringAt(record, size, le32(record + 16));
            auto name = stringAt(record, size, le32(record + 20));
            auto path = stringAt(record, size, le32(record + 24));
            if (!domain || !name || !path || !stringAt(record, size, le32(record + 28)))
                return std::nullopt;
            Record r;
            r.cookie.domain = std::move(*domain);
            r.cookie.name = std::move(*name);
            r.cookie.path = std::move(*path);
            r.cookie.flags = le32(record + 8);
            r.cookie.expires = le64Double(record + 40);
            r.cookie.created = le64Double(record + 48);
            r.bytes.assign(record, record + size);
            records.push_back(std::move(r));
        }
        store.pages_.push_back(std::move(records));
        at += pageSize;
    }
    // The checksum, then the footer with the store's settings, kept as they are.
    if (length - at < 4)
        return std::nullopt;
    store.footer_.assign(bytes + at + 4, bytes + length);
    return store;
}

std::vector<Cookie> CookieStore::cookies() const {
    std::vector<Cookie> out;
    for (const auto& page : pages_)
        for (const Record& r : page)
            out.push_back(r.cookie);
    return out;
}

std::size_t CookieStore::size() const {
    std::size_t n = 0;
    for (const auto& page : pages_)
        n += page.size();
    return n;
}

std::size_t CookieStore::removeIf(const std::function<bool(const Cookie&)>& drop) {
    std::size_t removed = 0;
    for (auto& page : pages_) {
        std::vector<Record> kept;
        for (Record& r : page) {
            if (drop(r.cookie))
                ++removed;
            else
                kept.push_back(std::move(r));
        }
        page = std::move(kept);
    }
    return removed;
}

std::vector<std::uint8_t> CookieStore::serialize() const {
    std::vector<std::vector<std::uint8_t>> pages;
    for (const auto& records : pages_) {
        if (records.empty())
            continue;
        std::vector<std::uint8_t> page(kPageHeader, kPageHeader + 4);
        putLe32(page, static_cast<std::uint32_t>(records.size()));
        std::size_t offset = 8 + 4 * records.size() + 4;
        for (const Record& r : records) {
            putLe32(page, static_cast<std::uint32_t>(offset));
            offset += r.bytes.size();
        }
        putLe32(page, 0);
        for (const Record& r : records)
            page.insert(page.end(), r.bytes.begin(), r.bytes.end());
        pages.push_back(std::move(page));
    }
    std::vector<std::uint8_t> out(kMagic, kMagic + 4);
    putBe32(out, static_cast<std::uint32_t>(pages.size()));
    std::uint32_t checksum = 0;
    for (const auto& page : pages) {
        putBe32(out, static_cast<std::uint32_t>(page.size()));
        checksum += pageChecksum(page);
    }
    for (const auto& page : pages)
        out.insert(out.end(), page.begin(), page.end());
    putBe32(out, checksum);
    out.insert(out.end(), footer_.begin(), footer_.end());
    return out;
}

std::vector<std::uint8_t> CookieStore::build(const std::vector<Cookie>& cookies,
                                             const std::vector<std::string>& values,
                                             std::size_t perPage) {
    CookieStore store;
    store.footer_ = {0x07, 0x17, 0x20, 0x05, 0x00, 0x00, 0x00, 0x00};
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (perPage == 0 || i % perPage == 0)
            store.pages_.emplace_back();
        const Cookie& c = cookies[i];
        const std::string value = i < values.size() ? values[i] : std::string();
        Record r;
        r.cookie = c;
        std::vector<std::uint8_t>& b = r.bytes;
        const std::string* strings[] = {&c.domain, &c.name, &c.path, &value};
        std::size_t size = kRecordHeader;
        for (const std::string* s : strings)
            size += s->size() + 1;
        putLe32(b, static_cast<std::uint32_t>(size));
        putLe32(b, 0);
        putLe32(b, c.flags);
        putLe32(b, 0);
        std::size_t offset = kRecordHeader;
        for (const std::string* s : strings) {
            putLe32(b, static_cast<std::uint32_t>(offset));
            offset += s->size() + 1;
        }
        putLe32(b, 0);
        putLe32(b, 0);
        putLe64Double(b, c.expires);
        putLe64Double(b, c.created);
        for (const std::string* s : strings) {
            b.insert(b.end(), s->begin(), s->end());
            b.push_back(0);
        }
        store.pages_.back().push_back(std::move(r));
    }
    return store.serialize();
}

std::string siteOf(const Cookie& cookie) {
    if (!cookie.domain.empty() && cookie.domain[0] == '.')
        return cookie.domain.substr(1);
    return cookie.domain;
}

std::optional<CookieStore> readFile(const std::string& path, std::string* error) {
    auto bytes = readWholeFile(path, kMaxFile);
    if (!bytes) {
        if (error)
            *error = "could not be read";
        return std::nullopt;
    }
    auto store = CookieStore::parse(*bytes);
    if (!store && error)
        *error = "the cookie store is damaged";
    return store;
}

std::optional<std::size_t> removeSites(const std::string& path, const std::set<std::string>& sites,
                                       std::string* error) {
    auto store = readFile(path, error);
    if (!store)
        return std::nullopt;
    const std::size_t before = store->size();
    const std::size_t removed =
        store->removeIf([&](const Cookie& c) { return sites.count(siteOf(c)) > 0; });
    if (removed == 0)
        return 0;
    const std::vector<std::uint8_t> bytes = store->serialize();
    // What is written must read back as the store less exactly those cookies.
    auto check = CookieStore::parse(bytes);
    if (!check || check->size() != before - removed) {
        if (error)
            *error = "the cookie store could not be rebuilt";
        return std::nullopt;
    }
    if (!rewriteFileAtomically(path, bytes.data(), bytes.size(), error))
        return std::nullopt;
    return removed;
}

} // namespace tessaly::binarycookies
