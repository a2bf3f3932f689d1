// Cookie sites of the three browsers on real-schema fixtures: one site for a
// domain with and without its leading dot, the keep list and the risky list,
// values bound (a quote neither breaks a statement nor widens a deletion), and
// the older Firefox layout.
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
