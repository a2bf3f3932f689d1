// The browsers of a Linux home: Chromium's and Firefox's own folders, their
// caches under ~/.cache, and no Safari.
#include "tests/ScanCode/browser/BrowserFixture.h"

using namespace tessaly;
using test::BrowserMachine;
using test::namesIn;

TEST(LinuxBrowsers, ChromiumAndFirefoxAreFoundInTheirLinuxFoldersAndSafariIsAbsent) {
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    BrowserMachine b;
    // Chromium (Chrome is not installed), its cookies where current versions keep them.
    b.chrome = b.home + "/.config/chromium/Default/Network";
    b.chromeCookies({"news.example"});
    b.chrome = b.home + "/.config/chromium/Default";
    b.chromeHistory({{"https://news.example/today", "Today", {1765000000.0}}});
    b.t.sizedFile("home/.cache/chromium/Default/Cache/Cache_Data/data_0", 4000);
    // Firefox ESR's profile.
    b.firefox = b.home + "/.mozilla/firefox";
    const std::string profile = b.firefoxProfile("k3x9.default-esr");
    b.firefoxCookies(profile, {{".shop.example", "shop.example"}});
    b.t.sizedFile("home/.cache/mozilla/firefox/k3x9.default-esr/cache2/entries/A1", 3000);
    b.t.file("home/.mozilla/firefox/k3x9.default-esr/sessionstore.jsonlz4", "s");
    // A profile the user named is one because profiles.ini lists it.
    b.t.file("home/.mozilla/firefox/profiles.ini",
             "[Profile1]\nName=work\nIsRelative=1\nPath=w0rk.work\n\n"
             "[Profile0]\nName=default-esr\nIsRelative=1\nPath=k3x9.default-esr\n");
    b.t.file("home/.mozilla/firefox/w0rk.work/sessionstore-backups/recovery.jsonlz4", "ss");
    b.t.file("home/.mozilla/firefox/not-a-profile/sessionstore.jsonlz4", "no");
    // What a macOS home would hold is not looked at.
    b.t.sizedFile("home/Library/Caches/Metadata/Safari/History/x", 100);

    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), std::vector<std::string>{"news.example"});
    EXPECT_EQ(namesIn(*m, "Chrom History").size(), 1u);
    EXPECT_EQ(namesIn(*m, "Chrom Cache"), std::vector<std::string>{"Cache_Data"});
    EXPECT_EQ(namesIn(*m, "Firefox Cookie"), std::vector<std::string>{"shop.example"});
    EXPECT_EQ(namesIn(*m, "Firefox Cache"), std::vector<std::string>{"entries"});
    EXPECT_EQ(namesIn(*m, "Firefox Session"),
              (std::vector<std::string>{"sessionstore-backups", "sessionstore.jsonlz4"}));
    // Safari is not offered at all: no module of it is there, not even empty.
    EXPECT_FALSE(m->offersBrowser(browser::Safari));
    for (const std::string& module : browser::modulesOfBrowser(browser::Safari))
        EXPECT_EQ(m->dataForModule(module), nullptr) << module;
    EXPECT_EQ(m->getBrowserType(browser::Safari), 0);
    for (const RunningBrowserRule& rule : currentBrowserLayout().browsers)
        EXPECT_NE(rule.browser, browser::Safari);
}
