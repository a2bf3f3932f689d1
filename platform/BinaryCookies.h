#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessaly::binarycookies {

// The shared cookie store of the macOS layout: the user's
// Library/Cookies/Cookies.binarycookies file. It holds pages of cookie records
// ("cook", big-endian page count and sizes, the pages, a checksum and a footer
// with the store's settings); each page holds little-endian offsets to its
// records, and each record names its domain, name, path and value by offsets
// into itself.

struct Cookie {
    std::string domain; // as stored, possibly with a leading dot
    std::string name;
    std::string path;
    std::uint32_t flags = 0;
    double expires = 0; // seconds since 2001-01-01 00:00:00 UTC
    double created = 0;
};

// A parsed store. Records are kept as their original bytes, so that writing the
// store back without some cookies changes nothing else.
class CookieStore {
public:
    // None when the bytes are not a whole, consistent store (wrong magic, a page
    // or a record that does not fit, strings outside their record).
    static std::optional<CookieStore> parse(const std::uint8_t* bytes, std::size_t length);
    static std::optional<CookieStore> parse(const std::vector<std::uint8_t>& bytes) {
        return parse(bytes.data(), bytes.size());
    }

    // Every cookie, page by page in record order.
    std::vector<Cookie> cookies() const;
    std::size_t size() const;

    // Drops the cookies for which drop() answers true; returns how many went.
    std::size_t removeIf(const std::function<bool(const Cookie&)>& drop);

    // The store as bytes: the kept records packed into the same pages (pages
    // left empty are dropped), a fresh checksum, and the original footer.
    std::vector<std::uint8_t> serialize() const;

    // Builds a store of the given cookies (values as given), one page per
    // `perPage` cookies, with an empty footer; for fixtures and tests.
    static std::vector<std::uint8_t> build(const std::vector<Cookie>& cookies,
                                           const std::vector<std::string>& values,
                                           std::size_t perPage = 8);

private:
    struct Record {
        Cookie cookie;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::vector<Record>> pages_;
    std::vector<std::uint8_t> footer_; // everything after the checksum
};

// Reads the store file. None when it is missing, unreadable or damaged.
std::optional<CookieStore> readFile(const std::string& path, std::string* error = nullptr);

// A cookie's site: its domain without one leading dot.
std::string siteOf(const Cookie& cookie);

// Removes every cookie whose site is one of the given ones and writes the file
// back atomically (nothing is written when none matched). Returns the number
// removed, or none when the file could not be read, was damaged or could not be
// written; it is then left as it was.
std::optional<std::size_t> removeSites(const std::string& path, const std::set<std::string>& sites,
                                       std::string* error = nullptr);

} // namespace tessaly::binarycookies
