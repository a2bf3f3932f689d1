// What the user keeps never reaches a System Cleanup plan, in either layout;
// caches costly to restore are listed unticked; the Linux layout's own cache
// places and privacy modules.
#include "model/KeptPaths.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/RecentLists.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/Dispatch.h"
#include "tests/ScanCode/system/SystemFixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tessaly;
using test::SystemMachine;

namespace {

std::vector<std::string> plannedPaths(const Plan& plan, const std::string& base) {
    std::vector<std::string> out;
    for (const PlanItem& p : plan.items)
        out.push_back(p.path.substr(base.size() + 1));
    std::sort(out.begin(), out.end());
    return out;
}

ScanItem listed(const QSVCleanManager& manager, int module, const std::string& path) {
    if (auto list = manager.moduleItems(module))
        for (const ScanItem& item : *list)
            if (item->path == path)
                return item;
    return nullptr;
}

struct LayoutCase {
    const char* layout;
    const char* caches; // home-relative folder of the user's caches
};

class KeptPaths_ : public ::testing::TestWithParam<LayoutCase> {};

} // namespace

TEST(KeptPaths, CoversWhatLiesUnderAKeptPathAndNothingBeside) {
    test::FixtureRoots m;
    KeptPaths kept({"~/.cache/pip", "/data//models/./", "relative/../x"});
    EXPECT_TRUE(kept.covers(m.home + "/.cache/pip"));
    EXPECT_TRUE(kept.covers(m.home + "/.cache/pip/http/b"));
    EXPECT_FALSE(kept.covers(m.home + "/.cache/pipx")); // a look-alike name
    EXPECT_FALSE(kept.covers(m.home + "/.cache"));
    EXPECT_TRUE(kept.holds(m.home + "/.cache"));
    EXPECT_FALSE(kept.holds(m.home + "/.cache/pip"));
    EXPECT_TRUE(kept.covers("/data/models/bert"));
    EXPECT_TRUE(kept.holds("/data"));
    EXPECT_FALSE(KeptPaths().covers("/"));
}

// The kept folder, a folder holding a kept file and everything else under the
// user's caches: the kept ones stay byte for byte, the rest goes.
TEST_P(KeptPaths_, AKeptPathIsNeverPlannedAndStaysAfterAClean) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", GetParam().layout);
    SystemMachine m;
    const std::string caches = std::string("home/") + GetParam().caches;
    if (std::string(GetParam().layout) == "macos")
        m.t.dir("home/Library");
    m.t.sizedFile(caches + "/pip/http/b", 3000);
    m.t.sizedFile(caches + "/pipx/c", 2000); // a look-alike name is not kept
    m.t.file(caches + "/tool/keep/model.bin", "weights");
    m.t.sizedFile(caches + "/tool/tmp/t", 1000);
    ASSERT_TRUE(
        keptpaths::store(m.defaults, {m.t.path(caches + "/pip"),
                                      "~/" + std::string(GetParam().caches) + "/tool/keep"}));
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter({sysmodule::UserCache});
    ScanSummary summary = manager->scan({}, {});
    MainQueue::drain();
    ASSERT_FALSE(summary.stopped);
    Plan plan = manager->plan();
    EXPECT_EQ(plannedPaths(plan, m.t.root()),
              (std::vector<std::string>{caches + "/pipx", caches + "/tool/tmp"}));

    CleanOutcome outcome = manager->clean(plan, {}, {});
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_FALSE(m.t.exists(caches + "/pipx"));
    EXPECT_FALSE(m.t.exists(caches + "/tool/tmp"));
    EXPECT_EQ(test::readText(m.t.path(caches + "/tool/keep/model.bin")), "weights");
    EXPECT_EQ(test::readText(m.t.path(caches + "/pip/http/b")), std::string(3000, 'x'));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, KeptPaths_,
                         ::testing::Values(LayoutCase{"linux", ".cache"},
                                           LayoutCase{"macos", "Library/Caches"}),
                         [](const auto& p) { return std::string(p.param.layout); });

TEST(LinuxCachePlaces, CostlyCachesAreUntickedAndBrowserAndNpmCachesAreFound) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    auto& t = m.t;
    t.sizedFile("home/.cache/huggingface/hub/model.safetensors", 5000);
    t.sizedFile("home/.cache/pypoetry/virtualenvs/app-py3.11/x.py", 800);
    t.sizedFile("home/.cache/pypoetry/cache/repo/y", 400);
    t.sizedFile("home/.cache/ibus/pinyin/user.db", 100);
    t.sizedFile("home/.npm/_cacache/content-v2/aa", 9000);
    t.sizedFile("home/.npm/_logs/debug.log", 20); // npm's own log, not its cache
    t.sizedFile("home/.config/chromium/Default/GPUCache/data_0", 300);
    t.sizedFile("home/.config/chromium/Default/Code Cache/js/x", 700);
    t.file("home/.config/chromium/Default/Cookies", "cookies");
    t.sizedFile("home/.config/chromium/Profile 1/GPUCache/data_0", 200);
    t.sizedFile("home/.config/chromium/Profile 1/Service Worker/CacheStorage/abc/1", 900);
    t.file("home/.config/chromium/Profile 1/Service Worker/Database/db", "db");
    t.sizedFile("home/.config/chromium/ShaderCache/data_0", 150);
    t.sizedFile("home/.config/chromium/Extensions/GPUCache/x", 10); // no profile
    t.sizedFile("root/var/lib/apt/lists/deb.debian.org_dists_bookworm_InRelease", 1500);
    t.sizedFile("root/var/cache/apt/pkgcache.bin", 100);
    t.sizedFile("root/var/cache/apt/archives/zip_3.0_amd64.deb", 400);
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter({sysmodule::UserCache, sysmodule::SystemCache});
    manager->scan({}, {});
    MainQueue::drain();

    for (const char* costly :
         {"home/.cache/huggingface", "home/.cache/pypoetry/virtualenvs", "home/.cache/ibus"}) {
        ScanItem item = listed(*manager, sysmodule::UserCache, t.path(costly));
        ASSERT_TRUE(item) << costly;
        EXPECT_FALSE(item->isCheck) << costly;
        EXPECT_EQ(item->reason, "costly to restore");
    }
    Plan plan = manager->plan();
    EXPECT_EQ(
        plannedPaths(plan, t.root()),
        (std::vector<std::string>{
            "home/.cache/pypoetry/cache", "home/.config/chromium/Default/Code Cache",
            "home/.config/chromium/Default/GPUCache", "home/.config/chromium/Profile 1/GPUCache",
            "home/.config/chromium/Profile 1/Service Worker/CacheStorage",
            "home/.config/chromium/ShaderCache", "home/.npm/_cacache",
            "root/var/cache/apt/archives/zip_3.0_amd64.deb"}));
    // The user may tick a costly cache; then it goes like any other.
    listed(*manager, sysmodule::UserCache, t.path("home/.cache/ibus"))->isCheck = true;
    plan = manager->plan();
    CleanOutcome outcome = manager->clean(plan, {}, {});
    EXPECT_TRUE(outcome.left.empty());
    for (const char* gone : {"home/.npm/_cacache", "home/.cache/ibus",
                             "home/.config/chromium/Profile 1/Service Worker/CacheStorage",
                             "home/.cache/pypoetry/cache"})
        EXPECT_FALSE(t.exists(gone)) << gone;
    EXPECT_EQ(test::readText(t.path("home/.config/chromium/Default/Cookies")), "cookies");
    EXPECT_EQ(test::readText(t.path("home/.config/chromium/Profile 1/Service Worker/Database/db")),
              "db");
    for (const char* kept :
         {"home/.cache/huggingface/hub/model.safetensors",
          "home/.cache/pypoetry/virtualenvs/app-py3.11/x.py", "home/.npm/_logs/debug.log",
          "home/.config/chromium/Extensions/GPUCache/x",
          "root/var/lib/apt/lists/deb.debian.org_dists_bookworm_InRelease",
          "root/var/cache/apt/pkgcache.bin"})
        EXPECT_TRUE(t.exists(kept)) << kept;
}

namespace {

const char* kXbel = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
>
  <bookmark href="file:///home/u/report.odt" added="2026-12-01T10:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="text/plain"/></metadata></info>
  </bookmark>
  <bookmark href="file:///home/u/cat.jpg" added="2026-12-02T10:00:00Z"/>
</xbel>
)";

const char* kXcuHead = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
)";
const char* kXcuHistory =
    R"(<item oor:path="/org.openoffice.Office.Histories/Histories/org.openoffice.Office.Histories:HistoryInfo['PickList']/ItemList/org.openoffice.Office.Histories:HistoryItem['file:///home/u/report.odt']"><prop oor:name="Title" oor:op="fuse"><value>report</value></prop></item>
<item oor:path="/org.openoffice.Office.Histories/Histories/org.openoffice.Office.Histories:HistoryInfo['PickList']/OrderList/org.openoffice.Office.Histories:HistoryItem['0']"><prop oor:name="HistoryItemRef" oor:op="fuse"><value>file:///home/u/report.odt</value></prop></item>
)";
const char* kXcuTail =
    R"(<item oor:path="/org.openoffice.Office.Writer/Layout/Window"><prop oor:name="Zoom" oor:op="fuse"><value>120</value></prop></item>
</oor:items>
)";

const char* kVlcBefore = "[General]\nqt-interface-position=@Point(10 10)\n\n[RecentsMRL]\n";
const char* kVlcRecent = "list=file:///home/u/a.mkv, file:///home/u/b.mp4\ntimes=0, 12000\n";
const char* kVlcAfter = "\n[MainWindow]\nstatus-bar-visible=true\n";

} // namespace

TEST(RecentDocuments, EachListLosesItsEntriesAndKeepsEverythingElse) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    auto& t = m.t;
    const std::string xbel = t.file("home/.local/share/recently-used.xbel", kXbel);
    const std::string xcu = t.file("home/.config/libreoffice/4/user/registrymodifications.xcu",
                                   std::string(kXcuHead) + kXcuHistory + kXcuTail);
    const std::string vlc = t.file("home/.config/vlc/vlc-qt-interface.conf",
                                   std::string(kVlcBefore) + kVlcRecent + kVlcAfter);
    ::chmod(vlc.c_str(), 0600);
    m.buildCatalogue();
    auto manager = m.manager();
    // Off until the user switches it on.
    auto scanned = manager->modulesToScan();
    EXPECT_EQ(std::count(scanned.begin(), scanned.end(), sysmodule::RecentDocuments), 0);
    EXPECT_EQ(std::count(scanned.begin(), scanned.end(), sysmodule::ShellHistory), 0);
    manager->setModuleEnabled(sysmodule::RecentDocuments, true);
    manager->scan({}, {});
    MainQueue::drain();
    auto lists = manager->moduleItems(sysmodule::RecentDocuments);
    ASSERT_TRUE(lists);
    std::vector<std::string> entries;
    for (const ScanItem& list : *lists)
        for (const ScanItem& entry : *list->subObjects)
            entries.push_back(entry->name);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries,
              (std::vector<std::string>{"2 recent media", "file:///home/u/cat.jpg",
                                        "file:///home/u/report.odt", "file:///home/u/report.odt"}));
    Plan plan = manager->plan();
    std::vector<PlanItem> rewrites;
    std::copy_if(plan.items.begin(), plan.items.end(), std::back_inserter(rewrites),
                 [](const PlanItem& p) { return p.category == "Recent Documents"; });
    ASSERT_EQ(rewrites.size(), 4u);
    for (const PlanItem& p : rewrites)
        EXPECT_EQ(p.action, PlanAction::RewriteList) << p.path;

    CleanOutcome outcome = manager->clean(plan, {}, {});
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_EQ(test::readText(xbel), R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
>
</xbel>
)");
    EXPECT_EQ(test::readText(xcu), std::string(kXcuHead) + kXcuTail);
    EXPECT_EQ(test::readText(vlc), std::string(kVlcBefore) + kVlcAfter);
    struct stat st {};
    ASSERT_EQ(::stat(vlc.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // Nothing is left to list.
    manager->scan({}, {});
    MainQueue::drain();
    EXPECT_TRUE(manager->moduleItems(sysmodule::RecentDocuments)->empty());
}

TEST(RecentDocuments, AListChangedSinceTheScanIsLeftAsItIs) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    const std::string vlc = m.t.file("home/.config/vlc/vlc-qt-interface.conf",
                                     std::string(kVlcBefore) + kVlcRecent + kVlcAfter);
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter({sysmodule::RecentDocuments});
    manager->scan({}, {});
    MainQueue::drain();
    Plan plan = manager->plan();
    ASSERT_EQ(plan.items.size(), 1u);
    const std::string changed =
        std::string(kVlcBefore) + "list=file:///home/u/new.mkv\ntimes=0\n" + kVlcAfter;
    m.t.file("home/.config/vlc/vlc-qt-interface.conf", changed);
    CleanOutcome outcome = manager->clean(plan, {}, {});
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left.front().reason, "changed since the scan");
    EXPECT_EQ(outcome.removed, 0);
    EXPECT_EQ(test::readText(vlc), changed);
}

TEST(ShellHistory, TheHistoriesGoAndTheShellsSettingsStay) {
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    SystemMachine m;
    for (const char* history : {".bash_history", ".zsh_history", ".python_history", ".lesshst",
                                ".wget-hsts", ".sqlite_history"})
        m.t.sizedFile(std::string("home/") + history, 100);
    m.t.file("home/.bashrc", "alias ll='ls -l'\n");
    m.t.file("home/.bash_history_notes", "mine");
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleEnabled(sysmodule::ShellHistory, true);
    manager->setModuleFilter({sysmodule::ShellHistory});
    manager->scan({}, {});
    MainQueue::drain();
    Plan plan = manager->plan();
    EXPECT_EQ(
        plannedPaths(plan, m.t.root()),
        (std::vector<std::string>{"home/.bash_history", "home/.lesshst", "home/.python_history",
                                  "home/.sqlite_history", "home/.wget-hsts", "home/.zsh_history"}));
    CleanOutcome outcome = manager->clean(plan, {}, {});
    EXPECT_EQ(outcome.removed, 6);
    EXPECT_FALSE(m.t.exists("home/.bash_history"));
    EXPECT_EQ(test::readText(m.t.path("home/.bashrc")), "alias ll='ls -l'\n");
    EXPECT_EQ(test::readText(m.t.path("home/.bash_history_notes")), "mine");
}
