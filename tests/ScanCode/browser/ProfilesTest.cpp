// The profile a browser uses is the one read and cleaned: Firefox's by
// installs.ini and profiles.ini, Chrome's cookies where current versions keep
// them. In both layouts.
#include "tests/ScanCode/browser/BrowserFixture.h"
#include "tests/support/Layouts.h"

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

namespace {

class BrowserProfiles : public ::testing::TestWithParam<const char*> {};

// The names of a module's rows read from a database (empty: the profile in use).
std::vector<std::string> rowsOf(const BroswerManager& m, const std::string& module,
                                const std::string& database) {
    std::vector<std::string> out;
    if (auto list = m.dataForModule(module))
        for (const ScanItem& item : *list) {
            ScanItemList leaves = item->subObjects ? *item->subObjects : ScanItemList{item};
            for (const ScanItem& leaf : leaves)
                if (leaf->database == database)
                    out.push_back(leaf->name);
        }
    return out;
}

void untickOtherProfiles(BroswerManager& m) {
    for (const browser::ModuleInfo& module : browser::moduleTable())
        if (auto list = m.dataForModule(module.name))
            for (const ScanItem& item : *list) {
                ScanItemList leaves = item->subObjects ? *item->subObjects : ScanItemList{item};
                for (const ScanItem& leaf : leaves)
                    if (!leaf->database.empty())
                        leaf->isCheck = false;
            }
}

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
    const bool onLinux = std::string(GetParam()) == "linux";
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
        // The profile in use; a Linux home offers the other one too, as rows of
        // its own database, which are left unticked here.
        EXPECT_EQ(rowsOf(*m, "Firefox History", ""), std::vector<std::string>{c.expected});
        EXPECT_EQ(rowsOf(*m, "Firefox Cookie", ""), std::vector<std::string>{c.expected});
        EXPECT_EQ(m->dataCountWithoutCheck("Firefox History"), onLinux ? 2 : 1);
        EXPECT_EQ(m->dataCountWithoutCheck("Firefox Cookie"), onLinux ? 2 : 1);
        untickOtherProfiles(*m);
        ASSERT_EQ(m->dataForModule("Firefox Cache")->size(), onLinux ? 2u : 1u);
        std::size_t inUseCaches = 0;
        for (const ScanItem& item : *m->dataForModule("Firefox Cache"))
            if (item->path.find(std::string(c.expected).substr(0, 4) + ".") != std::string::npos)
                ++inUseCaches;
            else
                item->isCheck = false;
        EXPECT_EQ(inUseCaches, 1u);

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

// Chrome's other profiles stand beside Default, and on a Linux home every
// Firefox profile of profiles.ini: each profile's rows are cleaned from its own
// databases, and the other profiles' stay.
TEST_P(BrowserProfiles, OtherProfilesAreListedAndCleanedFromTheirOwnDatabases) {
    BrowserMachine b;
    b.useLayout(GetParam());
    const bool onLinux = std::string(GetParam()) == "linux";
    const std::string defaultProfile = b.chrome;
    const std::string defaultCookies = b.chromeCookies({"home.example"});
    b.chrome = paths::deletingLastComponent(defaultProfile) + "/Profile 1";
    const std::string workCookies = b.chromeCookies({"work.example", "home.example"});
    const std::string workHistory =
        b.chromeHistory({{"https://work.example/board", "Board", {1.7e9}}});
    b.chromeTopSites({{"https://work.example/", "Work"}});
    b.t.dir(b.rel(paths::deletingLastComponent(defaultProfile) + "/System Profile"));
    b.chrome = defaultProfile;
    const std::string mainFirefox =
        b.firefoxCookies(b.firefoxProfile("k3.default-esr"), {{"home.example", ""}});
    const std::string workFirefox =
        b.firefoxCookies(b.firefoxProfile("w0rk.work"), {{"work.example", ""}});
    b.t.file(b.rel(b.firefox + "/profiles.ini"),
             "[Profile1]\nName=work\nIsRelative=1\nPath=w0rk.work\n\n"
             "[Profile0]\nName=default-esr\nIsRelative=1\nPath=k3.default-esr\nDefault=1\n");

    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(rowsOf(*m, "Chrom Cookie", ""), std::vector<std::string>{"home.example"});
    EXPECT_EQ(rowsOf(*m, "Chrom Cookie", workCookies),
              (std::vector<std::string>{"home.example", "work.example"}));
    EXPECT_EQ(rowsOf(*m, "Chrom History", workHistory), std::vector<std::string>{"Board"});
    EXPECT_EQ(rowsOf(*m, "Chrom Topsite",
                     b.chrome.substr(0, b.chrome.rfind('/')) + "/Profile 1/Top Sites"),
              std::vector<std::string>{"Work"});
    EXPECT_EQ(rowsOf(*m, "Firefox Cookie", workFirefox),
              onLinux ? std::vector<std::string>{"work.example"} : std::vector<std::string>{});

    // Profile 1's home.example goes; Default's stays.
    for (const ScanItem& item : *m->dataForModule("Chrom Cookie"))
        item->isCheck = !item->database.empty();
    const Plan plan = m->plan();
    bool planned = false;
    for (const PlanItem& step : plan.items)
        planned |= step.category == "Chrom Cookie" && step.path == workCookies;
    EXPECT_TRUE(planned);
    CleanOutcome outcome = m->clean(plan, {}, {});
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(outcome.removed, onLinux ? 6 : 5);
    EXPECT_EQ(FixtureDb(defaultCookies).column("SELECT host_key FROM cookies"),
              std::vector<std::string>{"home.example"});
    EXPECT_EQ(FixtureDb(workCookies).column("SELECT COUNT(*) FROM cookies"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FixtureDb(workHistory).column("SELECT COUNT(*) FROM urls"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FixtureDb(mainFirefox).column("SELECT COUNT(*) FROM moz_cookies"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FixtureDb(workFirefox).column("SELECT COUNT(*) FROM moz_cookies"),
              std::vector<std::string>{onLinux ? "0" : "1"});
}

INSTANTIATE_TEST_SUITE_P(Layouts, BrowserProfiles, test::bothLayouts());

} // namespace
