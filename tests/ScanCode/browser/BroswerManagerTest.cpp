// The Browser Cleanup engine as a whole: its modules, counts and ticks, the
// report chart, the cache and session lists, a database another program holds,
// a file that cannot be removed, and the notifications of a clean.
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "tests/ScanCode/browser/BrowserFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/ProcessCapture.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::namesIn;

namespace {

ScanItemListRef itemsNamed(const std::vector<std::string>& names, bool ticked = true) {
    auto list = std::make_shared<ScanItemList>();
    for (const std::string& n : names) {
        auto item = std::make_shared<ScaneOuputObject>();
        item->name = n;
        item->isCheck = ticked;
        list->push_back(item);
    }
    return list;
}

} // namespace

TEST(BroswerManager, ModuleStringsIconsAndTheBrowsersModules) {
    EXPECT_EQ(BroswerManager::switchModule(0), "Safari Cookie");
    EXPECT_EQ(BroswerManager::switchModule(4), "Chrom History");
    EXPECT_EQ(BroswerManager::switchModule(16), "Risky Firefox Cookie");
    EXPECT_EQ(BroswerManager::switchModule(17), "");
    EXPECT_EQ(BroswerManager::switchModule(-1), "");
    EXPECT_EQ(BroswerManager::switchModuleImage(7), "topsite-icon");
    EXPECT_EQ(BroswerManager::switchModuleImage(99), "");
    EXPECT_EQ(BroswerManager::switchModule140Image("Risky Chrom Cookie"), "Risky-icon(140)");
    EXPECT_EQ(BroswerManager::switchModule140Image("Chrom Topsite"), "topsite-icon140");
    EXPECT_EQ(browser::modulesOfBrowser(browser::Firefox),
              (std::vector<std::string>{"Firefox Cookie", "Risky Firefox Cookie", "Firefox History",
                                        "Firefox Cache", "Firefox Session"}));
    EXPECT_EQ(browser::modulesOfBrowser(browser::Safari).size(), 6u);
}

TEST(BroswerManager, CountsTicksAndTheCheckStatus) {
    BrowserMachine b;
    auto m = b.engine();
    EXPECT_EQ(BroswerManager::checkStatus({}), 0);
    m->addModuleData(itemsNamed({"a", "b"}), "Chrom Cookie");
    m->addModuleData(itemsNamed({"r"}, false), "Risky Firefox Cookie");
    auto day = std::make_shared<ScaneOuputObject>();
    day->isCheck = true;
    day->subObjects = itemsNamed({"v1", "v2", "v3"});
    m->addModuleData(std::make_shared<ScanItemList>(ScanItemList{day}), "Safari History");
    m->addModuleData(itemsNamed({"firefox page"}), "Firefox Topsite");

    EXPECT_EQ(m->dataCount("Safari History"), 3);
    day->subObjects->at(1)->isCheck = false;
    EXPECT_EQ(m->dataCount("Safari History"), 2);
    EXPECT_EQ(m->dataCountWithoutCheck("Safari History"), 3);
    EXPECT_EQ(BroswerManager::checkStatus(*m->dataForModule("Safari History")), 1);
    EXPECT_EQ(m->cookieCount(), 2);
    EXPECT_EQ(m->riskyCookieCount(), 0);
    EXPECT_EQ(m->topsiteCount(), 0); // there is no Firefox top-sites module
    EXPECT_EQ(m->allDataCount(), 5);
    EXPECT_EQ(m->allDataCountWithNOCheck(), 7);
    EXPECT_EQ(m->getBrowserCheck(browser::Chrome), 2);
    EXPECT_EQ(m->getBrowserType(browser::Firefox), 1);
    EXPECT_EQ(m->getBrowserType(7), 0);

    m->setBrowserCheck(browser::Safari, true);
    EXPECT_EQ(BroswerManager::checkStatus(*m->dataForModule("Safari History")), 2);
    m->setBrowserCheck(browser::Safari, false);
    EXPECT_EQ(BroswerManager::checkStatus(*m->dataForModule("Safari History")), 0);
    m->setBrowserCheck(3, true); // no such browser: nothing changes
    EXPECT_EQ(m->getBrowserCheck(browser::Safari), 0);
}

TEST(BroswerManager, TheChartRaisesTinySharesToOneIn180AndTakesItFromTheFirst) {
    BrowserMachine b;
    auto m = b.engine();
    EXPECT_TRUE(m->scanResult().empty()); // nothing found: no chart
    std::vector<std::string> many(1000, "site");
    m->addModuleData(itemsNamed(many), "Chrom Cookie");
    m->addModuleData(itemsNamed({"one"}), "Safari Cache");
    auto chart = m->scanResult();
    ASSERT_EQ(chart.size(), 2u);
    EXPECT_EQ(chart[0].name, "Cookie");
    EXPECT_EQ(chart[0].size, 1000);
    EXPECT_EQ(chart[1].name, "Cache");
    EXPECT_FLOAT_EQ(chart[1].b, 1.0f / 180);
    EXPECT_NEAR(chart[0].b, 1.0f - 1.0f / 180, 1e-6);
    EXPECT_NEAR(chart[0].b + chart[1].b, 1.0f, 1e-6);
}

TEST(BroswerManager, CacheAndSessionListsFollowTheProfilesAndSkipHiddenEntries) {
    BrowserMachine b;
    // Firefox profiles: ".Default" in capitals counts; the first one gives the cache.
    const std::string caches = "home/Library/Caches/Firefox/Profiles/";
    b.t.sizedFile(caches + "a1.Default/cache2/entry", 5000);
    b.t.file(caches + "a1.Default/sessionstore.jsonlz4", "x");
    b.t.file(caches + "b2.default-esr/startupCache/s", "y");
    b.t.sizedFile(caches + "b2.default-esr/session-backup", 5000); // two blocks to the other's one
    b.t.file(caches + "not-a-profile/sessionstore", "no");
    // Safari: hidden entries under a root are not listed, but count inside a folder.
    b.t.file("home/Library/Caches/Metadata/Safari/History/.hidden", "h");
    b.t.sizedFile("home/Library/Caches/Metadata/Safari/History/folder/.inner", 3000);
    b.t.file("home/Library/Caches/Metadata/Safari/.DS_Store/x", "never a root");
    auto m = b.engine();
    ASSERT_TRUE(BrowserMachine::scan(*m).problems.empty());

    // The entries of the first profile's folders; the second profile's are not caches.
    EXPECT_EQ(namesIn(*m, "Firefox Cache"), std::vector<std::string>{"entry"});
    // Sessions of every profile, largest first.
    EXPECT_EQ(namesIn(*m, "Firefox Session"),
              (std::vector<std::string>{"session-backup", "sessionstore.jsonlz4"}));
    EXPECT_EQ(namesIn(*m, "Safari Cache"), std::vector<std::string>{"folder"});
    EXPECT_GE(m->dataForModule("Safari Cache")->front()->fileSize, 3000);
    // A browser that is not installed has empty modules.
    EXPECT_EQ(m->getBrowserType(browser::Chrome), 0);
    EXPECT_TRUE(m->dataForModule("Chrom Cache")->empty());
    EXPECT_EQ(m->data().size(), 17u);
}

TEST(BroswerManager, AScanAfterAStoppedOneListsEveryModuleAgain) {
    BrowserMachine b;
    b.t.file("home/Library/Caches/Google/Chrome/Default/Cache/data_0", "d");
    b.chromeCookies({"a.example"});
    auto m = b.engine();
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_TRUE(m->scan(stopped.get_token(), {}).stopped);
    MainQueue::drain();
    m->prepareScan();
    m->stopScan();
    EXPECT_TRUE(m->scan({}, {}).stopped); // a stop that came before the run began
    MainQueue::drain();
    EXPECT_FALSE(BrowserMachine::scan(*m).stopped);
    EXPECT_EQ(namesIn(*m, "Chrom Cache"), std::vector<std::string>{"data_0"});
    EXPECT_EQ(namesIn(*m, "Chrom Cookie"), std::vector<std::string>{"a.example"});
}

TEST(BroswerManager, ADatabaseAnotherProgramHoldsIsReportedAndLeftIntact) {
    BrowserMachine b;
    const std::string path = b.chromeCookies({"a.example", "b.example"});
    auto m = b.engine();
    BrowserMachine::scan(*m);
    ASSERT_EQ(m->cookieCount(), 2);

    // Another process takes the write lock and holds it until told to end.
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        ::close(toChild[1]);
        ::close(fromChild[0]);
        ::execl(SQLITE_LOCKER_PATH, SQLITE_LOCKER_PATH, path.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    std::string said;
    char c = 0;
    while (::read(fromChild[0], &c, 1) == 1 && c != '\n')
        said += c;
    ASSERT_EQ(said, "locked");

    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    EXPECT_EQ(outcome.removed, 0);
    ASSERT_EQ(outcome.left.size(), 2u);
    for (const LeftItem& l : outcome.left) {
        EXPECT_EQ(l.path, path);
        EXPECT_NE(l.reason.find("in use by another program"), std::string::npos) << l.reason;
    }
    // Both sites stay listed and ticked, marked as not removed.
    EXPECT_EQ(m->cookieCount(), 2);
    EXPECT_TRUE(m->dataForModule("Chrom Cookie")->front()->canotRemove);
    // A scan while the lock is held says why it found nothing.
    ScanSummary summary = BrowserMachine::scan(*m);
    ASSERT_EQ(summary.problems.size(), 1u);
    EXPECT_EQ(summary.problems[0].path, path);

    ::close(toChild[1]); // the other process ends, its transaction rolled back
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(fromChild[0]);
    FixtureDb db(path);
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM cookies"), std::vector<std::string>{"2"});
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM meta"), std::vector<std::string>{"3"});
    EXPECT_EQ(db.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

TEST(BroswerManager, ACacheFileThatCannotBeRemovedIsNotCountedAndStaysListedWithItsReason) {
    BrowserMachine b;
    const std::string stuck =
        b.t.sizedFile("home/Library/Caches/Google/Chrome/Default/Cache/stuck", 700);
    const std::string gone =
        b.t.sizedFile("home/Library/Caches/Google/Chrome/Default/Cache/gone", 300);
    auto m = b.engine();
    BrowserMachine::scan(*m);
    const std::int64_t goneBlocks = test::duBytes({gone});
    test::Unremovable lock(stuck);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    CleanOutcome outcome = m->clean(m->plan(), {}, {});
    EXPECT_EQ(outcome.removed, 1);
    EXPECT_EQ(outcome.bytes, goneBlocks);
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left[0].path, stuck);
    EXPECT_FALSE(outcome.left[0].reason.empty());
    EXPECT_FALSE(fileops::itemExists(gone));
    EXPECT_EQ(namesIn(*m, "Chrom Cache"), std::vector<std::string>{"stuck"});
    EXPECT_TRUE(m->dataForModule("Chrom Cache")->front()->canotRemove);
    EXPECT_TRUE(m->dataForModule("Chrom Cache")->front()->isCheck);
}

TEST(BroswerManager, ACleanPostsEachModuleOnceWithEachTasksModulesInItsOrder) {
    BrowserMachine b;
    auto m = b.engine();
    BrowserMachine::scan(*m);
    std::vector<std::string> posted;
    ObserverToken token(NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            broswerCleanModuleFinish, [&](const Notification& n) {
                                posted.push_back(std::any_cast<std::string>(n.object));
                            }));
    m->clean();
    MainQueue::drain();
    ASSERT_EQ(posted.size(), 17u);
    auto order = [&](const std::vector<std::string>& expected) {
        std::vector<std::string> seen;
        for (const std::string& p : posted)
            if (std::find(expected.begin(), expected.end(), p) != expected.end())
                seen.push_back(p);
        EXPECT_EQ(seen, expected);
    };
    order({"Safari Cookie", "Chrom Cookie", "Firefox Cookie", "Risky Safari Cookie",
           "Risky Chrom Cookie", "Risky Firefox Cookie"});
    order({"Safari History", "Chrom History", "Firefox History"});
    order({"Safari Topsite", "Chrom Topsite"});
    order({"Safari Cache", "Firefox Cache", "Safari Session", "Chrom Session", "Firefox Session",
           "Chrom Cache"});
}
