// The profile a browser uses is the one read and cleaned: Firefox's by
// installs.ini and profiles.ini, Chrome's cookies where current versions keep
// them. In both layouts.
#include "tests/ScanCode/browser/BrowserFixture.h"

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

namespace {

class BrowserProfiles : public ::testing::TestWithParam<const char*> {};

// Two profiles, each with a visit and a cookie of its own name, and a cache.
void twoFirefoxProfiles(BrowserMachine& b) {
    for (const char* name : {"xxxx.default", "yyyy.default-esr"}) {
        const std::string profile = b.firefoxProfile(name);
        const std::string site = std::string(name).substr(0, 4) + ".example";
        b.firefoxPlaces(profile, {{"https://" + site + "/", site, {1.7e9}}});
        b.firefoxCookies(profile, {{site, ""}});
        b.t.sizedFile(b.rel(b.firefoxCache + "/" + name + "/cache2/entries/E1"), 1000);
    }
}

TEST_P(BrowserProfiles, FirefoxReadsTheProfileItStartsWith) {
    const std::string profiles =
        "[Profile1]\nName=default\nIsRelative=1\nPath=xxxx.default\n%DEFAULT1%\n"
        "[Profile0]\nName=default-esr\nIsRelative=1\nPath=yyyy.default-esr\n%DEFAULT0%\n"
        "%INSTALL%[General]\nStartWithLastProfile=1\nVersion=2\n";
    struct Case {
        const char* what;
        const char* installs;      // installs.ini, or none
        const char* installGroup;  // profiles.ini's [Install...] group
        const char* markedDefault; // the profile marked Default=1
        const char* expected;      // its visit and cookie
    } cases[] = {
        {"installs.ini names the profile in use",
         "[3B6073811A6ABF12]\nDefault=yyyy.default-esr\n"
         "Locked=1\n",
         "", "1", "yyyy.example"},
        {"profiles.ini's install group does", nullptr,
         "[Install3B6073811A6ABF12]\nDefault=yyyy.default-esr\nLocked=1\n\n", "1", "yyyy.example"},
        {"only Default=1 marks one", nullptr, "", "0", "yyyy.example"},
        {"installs.ini names a profile that is gone", "[3B6073811A6ABF12]\nDefault=gone.default\n",
         "", "1", "xxxx.example"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BrowserMachine b;
        b.useLayout(GetParam());
        twoFirefoxProfiles(b);
        std::string ini = profiles;
        const bool firstMarked = std::string(c.markedDefault) == "1";
        ini.replace(ini.find("%DEFAULT1%"), 10, firstMarked ? "Default=1" : "");
        ini.replace(ini.find("%DEFAULT0%"), 10, firstMarked ? "" : "Default=1");
        ini.replace(ini.find("%INSTALL%"), 9, c.installGroup);
        b.t.file(b.rel(b.firefox + "/profiles.ini"), ini);
        if (c.installs)
            b.t.file(b.rel(b.firefox + "/installs.ini"), c.installs);
        auto m = b.engine();
        ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
        EXPECT_EQ(namesIn(*m, "Firefox History"), std::vector<std::string>{c.expected});
        EXPECT_EQ(namesIn(*m, "Firefox Cookie"), std::vector<std::string>{c.expected});
        ASSERT_EQ(m->dataForModule("Firefox Cache")->size(), 1u);
        EXPECT_NE(m->dataForModule("Firefox Cache")
                      ->front()
                      ->path.find(std::string(c.expected).substr(0, 4) + "."),
                  std::string::npos);

        // The clean takes them from that profile and leaves the other as it was.
        CleanOutcome outcome = m->clean(m->plan(), {}, {});
        EXPECT_TRUE(outcome.left.empty());
        const std::string other =
            std::string(c.expected) == "yyyy.example" ? "xxxx.default" : "yyyy.default-esr";
        EXPECT_EQ(FixtureDb(b.firefox + "/" + other + "/places.sqlite")
                      .column("SELECT COUNT(*) FROM moz_historyvisits"),
                  std::vector<std::string>{"1"});
        EXPECT_EQ(FixtureDb(b.firefox + "/" + other + "/cookies.sqlite")
                      .column("SELECT COUNT(*) FROM moz_cookies"),
                  std::vector<std::string>{"1"});
        EXPECT_TRUE(b.t.exists(b.rel(b.firefoxCache + "/" + other + "/cache2/entries/E1")));
    }
}

// Current Chrome keeps its cookies in Default/Network; an older profile beside.
TEST_P(BrowserProfiles, ChromeCookiesAreReadWhereCurrentVersionsKeepThem) {
    BrowserMachine b;
    b.useLayout(GetParam());
    const std::string profile = b.chrome;
    b.chrome = profile + "/Network";
    const std::string current = b.chromeCookies({".current.example"});
    b.chrome = profile;
    const std::string old = b.chromeCookies({"old.example"});
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), std::vector<std::string>{"current.example"});
    EXPECT_EQ(m->clean(m->plan(), {}, {}).removed, 1);
    EXPECT_EQ(FixtureDb(current).column("SELECT COUNT(*) FROM cookies"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FixtureDb(old).column("SELECT COUNT(*) FROM cookies"), std::vector<std::string>{"1"});
}

INSTANTIATE_TEST_SUITE_P(Layouts, BrowserProfiles, ::testing::Values("macos", "linux"));

} // namespace
