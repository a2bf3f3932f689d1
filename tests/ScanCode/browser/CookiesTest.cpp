// Cookie sites of the three browsers on real-schema fixtures: one site for a
// domain with and without its leading dot, the keep list and the risky list,
// values bound (a quote neither breaks a statement nor widens a deletion), and
// the older Firefox layout.
#include "ScanCode/browser/SiteNames.h"
#include "tests/ScanCode/browser/BrowserFixture.h"

#include <set>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

namespace {

void untickAllBut(BroswerManager& m, const std::string& module, const std::string& keepTicked) {
    for (const auto& [name, list] : m.data())
        for (const ScanItem& item : *list)
            item->isCheck = name == module && item->name == keepTicked;
}

} // namespace

TEST(Cookies, DottedAndUndottedDomainsAreOneSiteAndBothKindsOfRowsGo) {
    BrowserMachine b;
    const std::string chrome =
        b.chromeCookies({".example.com", "example.com", "example.com", ".other.org"});
    const std::string profile = b.firefoxProfile("q1w2e3.default-release");
    const std::string firefox = b.firefoxCookies(profile, {{".example.com", ""},
                                                           {"example.com", ""},
                                                           {"www.example.com", ""},
                                                           {"notexample.com", ""}});
    b.safariCookies({".example.com", "example.com", "apple.example"});
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), (std::vector<std::string>{"example.com", "other.org"}));
    // Current Firefox stores no base domain: a host joins its registrable domain.
    EXPECT_EQ(namesIn(*m, "Firefox Cookie"),
              (std::vector<std::string>{"example.com", "notexample.com"}));
    EXPECT_EQ(namesIn(*m, "Safari Cookie"),
              (std::vector<std::string>{"apple.example", "example.com"}));

    for (const char* module : {"Chrom Cookie", "Firefox Cookie", "Safari Cookie"})
        for (const ScanItem& item : *m->dataForModule(module))
            item->isCheck = item->name == "example.com";
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    MainQueue::drain();
    EXPECT_EQ(outcome.removed, 3);
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(FixtureDb(chrome).column("SELECT host_key FROM cookies"),
              std::vector<std::string>{".other.org"});
    EXPECT_EQ(FixtureDb(firefox).column("SELECT host FROM moz_cookies"),
              std::vector<std::string>{"notexample.com"});
    auto store = binarycookies::readFile(b.home + "/Library/Cookies/Cookies.binarycookies");
    ASSERT_TRUE(store);
    ASSERT_EQ(store->size(), 1u);
    EXPECT_EQ(store->cookies()[0].domain, "apple.example");
    // Cleaned sites leave their lists; the unticked stay.
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), std::vector<std::string>{"other.org"});
    for (const std::string& path : {chrome, firefox})
        EXPECT_EQ(FixtureDb(path).column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

TEST(Cookies, AKeptSiteIsNeverListedOrDeletedAndARiskyOneOnlyInTheRiskyModule) {
    BrowserMachine b;
    b.keep = {"tracker.example"};
    b.risky = std::vector<std::string>{"tracker.example", "ads.example"};
    const std::string chrome =
        b.chromeCookies({".tracker.example", "ads.example", ".ads.example", "news.example"});
    auto m = b.engine();
    BrowserMachine::scan(*m);
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), std::vector<std::string>{"news.example"});
    EXPECT_EQ(namesIn(*m, "Risky Chrom Cookie"), std::vector<std::string>{"ads.example"});
    EXPECT_TRUE(m->dataForModule("Risky Chrom Cookie")->front()->isBadCookie);
    EXPECT_EQ(m->riskyCookieCount(), 1);
    EXPECT_EQ(m->cookieCount(), 1);

    // Even a plan naming a kept site (the list changed since the scan) leaves it.
    auto kept = std::make_shared<ScaneOuputObject>();
    kept->name = "tracker.example";
    kept->countryName = "Chrome";
    kept->isCheck = true;
    m->dataForModule("Chrom Cookie")->push_back(kept);
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    MainQueue::drain();
    EXPECT_EQ(outcome.removed, 2);
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_NE(outcome.left[0].reason.find("keep list"), std::string::npos);
    EXPECT_EQ(FixtureDb(chrome).column("SELECT host_key FROM cookies"),
              std::vector<std::string>{".tracker.example"});
}

TEST(Cookies, AQuoteInADomainNeitherBreaksTheStatementNorWidensTheDeletion) {
    BrowserMachine b;
    const std::string chrome = b.chromeCookies({"a' or '1'='1", "bystander.example"});
    auto m = b.engine();
    BrowserMachine::scan(*m);
    untickAllBut(*m, "Chrom Cookie", "a' or '1'='1");
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    EXPECT_EQ(outcome.removed, 1);
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(FixtureDb(chrome).column("SELECT host_key FROM cookies"),
              std::vector<std::string>{"bystander.example"});
}

TEST(Cookies, OlderFirefoxProfilesAreReadAndCleanedByBaseDomain) {
    BrowserMachine b;
    const std::string profile = b.firefoxProfile("x.default");
    const std::string path = b.firefoxCookies(profile,
                                              {{"www.shop.example", "shop.example"},
                                               {".shop.example", "shop.example"},
                                               {"mail.example", "mail.example"}},
                                              true);
    auto m = b.engine();
    BrowserMachine::scan(*m);
    EXPECT_EQ(namesIn(*m, "Firefox Cookie"),
              (std::vector<std::string>{"mail.example", "shop.example"}));
    untickAllBut(*m, "Firefox Cookie", "shop.example");
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
    EXPECT_EQ(FixtureDb(path).column("SELECT host FROM moz_cookies"),
              std::vector<std::string>{"mail.example"});
}

TEST(Cookies, AllCookiesListsEverySiteOnceWithoutTheKeptOnes) {
    BrowserMachine b;
    b.keep = {"kept.example"};
    b.safariCookies({".one.example", "kept.example"});
    b.chromeCookies({"one.example", "two.example"});
    b.firefoxCookies(b.firefoxProfile("p.default"), {{"three.example", ""}});
    EXPECT_EQ(b.engine()->allCookies(),
              (std::vector<std::string>{"one.example", "two.example", "three.example"}));
}

TEST(Cookies, TheShippedRiskyListLoadsOnceAndHoldsWellKnownTrackers) {
    auto env = BrowserEnvironment::system();
    int loads = 0;
    CookieManager cookies;
    cookies.loadBadCookie([&] {
        ++loads;
        return env.riskyList();
    });
    cookies.loadBadCookie([&] {
        ++loads;
        return env.riskyList();
    });
    EXPECT_EQ(loads, 1);
    ASSERT_TRUE(cookies.badCookie());
    EXPECT_GE(cookies.badCookie()->size(), 200u);
    EXPECT_TRUE(cookies.isRisky("doubleclick.net"));
    EXPECT_FALSE(cookies.isRisky("example.com"));
    // A list that cannot be read leaves it unset, to be tried again.
    CookieManager unread;
    unread.loadBadCookie([] { return std::nullopt; });
    EXPECT_FALSE(unread.badCookie());
}

TEST(Cookies, SitesAreRegistrableDomainsAndAKeptSiteCoversItsSubdomainsOnly) {
    struct Case {
        const char* host;
        const char* site;
    } sitesOf[] = {
        {"a.b.example.co.uk", "example.co.uk"},
        {".example.co.uk", "example.co.uk"},
        {"WWW.Google.COM", "google.com"},
        {"accounts.google.com", "google.com"},
        {"user.github.io", "user.github.io"},
        {"co.uk", "co.uk"},
        {"localhost", "localhost"},
        {"192.168.1.20", "192.168.1.20"},
    };
    for (const Case& c : sitesOf)
        EXPECT_EQ(sites::registrableDomain(c.host), c.site) << c.host;
    struct Cover {
        const char* kept;
        const char* host;
        bool covered;
    } covers[] = {
        {"google.com", "google.com", true},      {"google.com", ".accounts.google.com", true},
        {"google.com", "www.google.com", true},  {".Google.com", "mail.google.com", true},
        {"google.com", "notgoogle.com", false},  {"google.com", "google.com.evil.example", false},
        {"www.google.com", "google.com", false}, {"", "google.com", false},
    };
    for (const Cover& c : covers)
        EXPECT_EQ(sites::covers(c.kept, c.host), c.covered) << c.kept << " / " << c.host;
}

// With "google.com" kept, its subdomains stay signed in in every browser, while
// a look-alike goes; a kept subdomain stays even when its site is cleaned.
TEST(Cookies, AKeptSiteKeepsItsSubdomainsInEveryBrowser) {
    BrowserMachine b;
    b.keep = {"google.com", "keep.example.co.uk"};
    const std::string chrome =
        b.chromeCookies({".google.com", "accounts.google.com", ".notgoogle.com", "a.example.co.uk",
                         "keep.example.co.uk"});
    const std::string firefox =
        b.firefoxCookies(b.firefoxProfile("q.default-esr"), {{"www.google.com", ""},
                                                             {".accounts.google.com", ""},
                                                             {"notgoogle.com", ""},
                                                             {"a.b.example.co.uk", ""},
                                                             {"example.co.uk", ""},
                                                             {".keep.example.co.uk", ""}});
    b.safariCookies({"accounts.google.com", ".notgoogle.com"});
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    const std::vector<std::string> listed{"example.co.uk", "notgoogle.com"};
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), listed);
    EXPECT_EQ(namesIn(*m, "Firefox Cookie"), listed);
    EXPECT_EQ(namesIn(*m, "Safari Cookie"), std::vector<std::string>{"notgoogle.com"});
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    MainQueue::drain();
    EXPECT_EQ(outcome.removed, 5);
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(
        FixtureDb(chrome).column("SELECT host_key FROM cookies ORDER BY host_key"),
        (std::vector<std::string>{".google.com", "accounts.google.com", "keep.example.co.uk"}));
    EXPECT_EQ(FixtureDb(firefox).column("SELECT host FROM moz_cookies ORDER BY host"),
              (std::vector<std::string>{".accounts.google.com", ".keep.example.co.uk",
                                        "www.google.com"}));
    auto store = binarycookies::readFile(b.home + "/Library/Cookies/Cookies.binarycookies");
    ASSERT_TRUE(store);
    ASSERT_EQ(store->size(), 1u);
    EXPECT_EQ(store->cookies()[0].domain, "accounts.google.com");
}
