// The shared cookie store file: records read with their domains, a site's
// cookies written away atomically with everything else kept byte for byte, and
// a damaged file that yields nothing and is never overwritten.
#include "platform/AtomicFile.h"
#include "platform/BinaryCookies.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

using namespace tessaly;
using binarycookies::Cookie;
using binarycookies::CookieStore;

namespace {

std::vector<Cookie> sample() {
    return {{".example.com", "sid", "/", 5, 8e8, 7e8},
            {"example.com", "pref", "/app", 0, 8e8, 7e8},
            {"keep.org", "k", "/", 1, 8e8, 7e8},
            {".ads.example", "t", "/", 0, 8e8, 7e8}};
}

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    return readWholeFile(path, 1 << 20).value_or(std::vector<std::uint8_t>{});
}

} // namespace

TEST(SafariCookieStore, ReadsEveryCookieWithItsDomainAcrossPages) {
    auto bytes = CookieStore::build(sample(), {"v1", "v2", "v3", "v4"}, 3);
    auto store = CookieStore::parse(bytes);
    ASSERT_TRUE(store);
    auto cookies = store->cookies();
    ASSERT_EQ(cookies.size(), 4u);
    EXPECT_EQ(cookies[0].domain, ".example.com");
    EXPECT_EQ(cookies[0].name, "sid");
    EXPECT_EQ(cookies[1].path, "/app");
    EXPECT_EQ(cookies[0].flags, 5u);
    EXPECT_DOUBLE_EQ(cookies[3].expires, 8e8);
    EXPECT_EQ(binarycookies::siteOf(cookies[0]), "example.com");
    // Written back unchanged, the store is the same bytes.
    EXPECT_EQ(store->serialize(), bytes);
}

TEST(SafariCookieStore, RemovingASiteTakesItsDottedAndUndottedCookiesAndKeepsTheRest) {
    test::TempTree t;
    auto original = CookieStore::build(sample(), {"v1", "v2", "v3", "v4"}, 2);
    const std::string path =
        t.file("Cookies.binarycookies", std::string(original.begin(), original.end()));
    auto removed = binarycookies::removeSites(path, {"example.com", "absent.net"});
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, 2u);
    auto after = binarycookies::readFile(path);
    ASSERT_TRUE(after);
    auto cookies = after->cookies();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].domain, "keep.org");
    EXPECT_EQ(cookies[1].domain, ".ads.example");
    // The kept records, and the footer, are carried over as they were.
    auto expected = CookieStore::build({sample()[2], sample()[3]}, {"v3", "v4"}, 2);
    EXPECT_EQ(bytesOf(path), expected);
    // Nothing of a site left: the file is not written again.
    EXPECT_EQ(*binarycookies::removeSites(path, {"example.com"}), 0u);
}

TEST(SafariCookieStore, ADamagedStoreYieldsNoCookiesAndIsNeverOverwritten) {
    test::TempTree t;
    auto good = CookieStore::build(sample(), {}, 4);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back(
        {"truncated", {good.begin(), good.begin() + static_cast<long>(good.size() / 2)}});
    auto badMagic = good;
    badMagic[0] = 'C';
    cases.push_back({"magic", badMagic});
    auto bigCount = good;
    bigCount[7] = 0x40; // more pages than the file holds
    cases.push_back({"page count", bigCount});
    auto badOffset = good;
    badOffset[8 + 4 + 8] = 0xF0; // the first record's offset points past its page
    cases.push_back({"record offset", badOffset});
    cases.push_back({"empty", {}});
    for (const Case& c : cases) {
        const std::string path =
            t.file(std::string("store-") + c.name, std::string(c.bytes.begin(), c.bytes.end()));
        EXPECT_FALSE(CookieStore::parse(c.bytes)) << c.name;
        std::string error;
        EXPECT_FALSE(binarycookies::removeSites(path, {"example.com"}, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(bytesOf(path), c.bytes) << c.name;
    }
}
