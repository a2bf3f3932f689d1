// tessaly-cli browser: the real binary on a fixture home with real-schema
// browser files.
#include "tests/ScanCode/browser/BrowserFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"

#include <nlohmann/json.hpp>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

} // namespace

class BrowserCommandInBothLayouts : public ::testing::TestWithParam<const char*> {};

TEST_P(BrowserCommandInBothLayouts, ScanListsModulesAndItemsAndCleanCarriesOutItsPlan) {
    BrowserMachine b;
    b.useLayout(GetParam());
    const bool mac = std::string(GetParam()) == "macos";
    const std::string cookies = b.chromeCookies({".tracker.example", "news.example"});
    const std::string cache = b.t.sizedFile(b.rel(b.chromeCache + "/Cache/data_1"), 4000);
    const std::string profile = b.firefoxProfile("q7.default-esr");
    const std::string firefoxCookies = b.firefoxCookies(profile, {{"shop.example", ""}});
    const std::string firefoxCache =
        b.t.sizedFile(b.rel(b.firefoxCache + "/q7.default-esr/cache2/entries/A1"), 3000);
    // Safari's files, which only the macOS layout knows.
    const std::string safari =
        b.safariHistory({BrowserMachine::safariVisit("https://s.example/", "S", 1.7e9)});
    const std::string safariBytes = test::readText(safari);

    auto run = cli({"browser", "scan", "--browser", "chrome", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["modules"].size(), 6u); // Chrome's modules only
    EXPECT_EQ(out["modules"][0]["module"], "Chrom Cookie");
    EXPECT_EQ(out["modules"][0]["count"], 2);
    EXPECT_EQ(out["modules"][0]["items"][0]["name"], "news.example");
    EXPECT_EQ(out["modules"][0]["items"][0]["file"], cookies);
    EXPECT_EQ(out["modules"][0]["items"][0]["action"], "rewrite-list");
    const auto& cacheModule = out["modules"][3]; // module order: cookie, history, top sites, cache
    EXPECT_EQ(cacheModule["module"], "Chrom Cache");
    EXPECT_EQ(cacheModule["items"][0]["path"], cache);
    const std::int64_t blocks = test::duBytes({cache});
    EXPECT_EQ(cacheModule["items"][0]["size"], blocks);
    EXPECT_EQ(out["totalCount"], 3);

    // Every browser: Safari's rows only where the layout has a place for them.
    auto all = cli({"browser", "scan", "--json"});
    ASSERT_EQ(all.exitCode, 0) << all.standardError;
    int safariModules = 0;
    const auto scanned = nlohmann::json::parse(all.standardOutput);
    for (const auto& module : scanned["modules"])
        safariModules += module["module"].get<std::string>().find("Safari") != std::string::npos;
    EXPECT_EQ(safariModules, mac ? 6 : 0);
    auto text = cli({"browser", "scan", "--details"});
    ASSERT_EQ(text.exitCode, 0) << text.standardError;
    EXPECT_EQ(text.standardOutput.find("Safari") != std::string::npos, mac);
    EXPECT_EQ(text.standardOutput.find("https://s.example/") != std::string::npos, mac);
    if (!mac) {
        EXPECT_EQ(cli({"browser", "scan", "--browser", "safari"}).exitCode, 2);
    }

    // A dry run names the cookie sites it would take, in any case of module name.
    auto dry = cli({"browser", "clean", "--module", "chrom cookie", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(plan["dryRun"], true);
    ASSERT_EQ(plan["plan"].size(), 2u);
    EXPECT_EQ(plan["plan"][0]["action"], "rewrite-list");
    EXPECT_EQ(plan["plan"][0]["path"], cookies);
    EXPECT_EQ(FixtureDb(cookies).column("SELECT COUNT(*) FROM cookies"),
              std::vector<std::string>{"2"});

    // The Firefox cache's item is the folder of its entries.
    const std::int64_t firefoxBlocks = test::duBytes({paths::deletingLastComponent(firefoxCache)});
    auto done = cli({"browser", "clean", "--module", "Chrom Cookie", "--module", "chrom-cache",
                     "--module", "firefox-cookie", "--module", "Firefox Cache", "--yes", "--json"});
    ASSERT_EQ(done.exitCode, 0) << done.standardError;
    auto outcome = nlohmann::json::parse(done.standardOutput);
    EXPECT_EQ(outcome["removed"], 5);
    EXPECT_EQ(outcome["bytes"], blocks + firefoxBlocks);
    EXPECT_EQ(FixtureDb(cookies).column("SELECT COUNT(*) FROM cookies"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FixtureDb(firefoxCookies).column("SELECT COUNT(*) FROM moz_cookies"),
              std::vector<std::string>{"0"});
    EXPECT_FALSE(fileattr::entryInfo(cache).exists);
    EXPECT_FALSE(fileattr::entryInfo(firefoxCache).exists);
    EXPECT_TRUE(fileattr::entryInfo(
                    paths::deletingLastComponent(paths::deletingLastComponent(firefoxCache)))
                    .isDirectory);                  // the profile's cache folder itself stays
    EXPECT_EQ(test::readText(safari), safariBytes); // not chosen
}

INSTANTIATE_TEST_SUITE_P(Layouts, BrowserCommandInBothLayouts, test::bothLayouts());

// The clean could not act on the database: it says so with exit code 3, unless
// it was asked to clean something else.
TEST(BrowserCommand, ADatabaseABrowserHoldsIsReportedAndLeftAsItWas) {
    BrowserMachine b;
    const std::string cookies = b.chromeCookies({"a.example"});
    FixtureDb holder(cookies);
    holder.exec("BEGIN EXCLUSIVE; DELETE FROM meta;");
    auto other = cli({"browser", "clean", "--module", "Chrom Cache", "--yes", "--json"});
    EXPECT_EQ(other.exitCode, 0) << other.standardError;
    auto run = cli({"browser", "clean", "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 0);
    ASSERT_EQ(out["problems"].size(), 1u);
    EXPECT_EQ(out["problems"][0]["path"], cookies);
    EXPECT_NE(out["problems"][0]["reason"].get<std::string>().find("in use"), std::string::npos);
    holder.exec("ROLLBACK;");
    EXPECT_EQ(FixtureDb(cookies).column("SELECT host_key FROM cookies"),
              std::vector<std::string>{"a.example"});
}

TEST(BrowserCommand, UnknownBrowsersAndModulesAreUsageErrors) {
    test::FixtureRoots m;
    auto browser = cli({"browser", "scan", "--browser", "opera"});
    EXPECT_EQ(browser.exitCode, 2);
    EXPECT_NE(browser.standardError.find("opera"), std::string::npos);
    auto module = cli({"browser", "clean", "--module", "Chrome Cakes"});
    EXPECT_EQ(module.exitCode, 2);
    EXPECT_NE(module.standardError.find("chrome-cookie"), std::string::npos);
}
