// The cleaning run's module rules, the privileged pass and stopping, on
// hand-built result lists over fixture files.
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;
using test::group;
using test::item;
using test::SystemMachine;

namespace {

// A file the user may not remove: inside a read-only folder (not for root).
bool makeLocked(const test::TempTree& t, const std::string& folder) {
    return ::chmod(t.path(folder).c_str(), 0555) == 0;
}

bool asRoot() {
    return ::geteuid() == 0;
}

} // namespace

TEST(CleanRun, NothingTickedRemovesNothingAndNeverCallsTheHelper) {
    SystemMachine m;
    auto manager = m.manager();
    std::string a = m.t.file("home/.Trash/a", "a");
    manager->scanDisk->finishScan({item(a, 1, false)}, sysmodule::Trash);
    manager->scanDisk->finishScan({}, sysmodule::UserCache);
    std::vector<std::int64_t> cleaned;
    ObserverToken token(NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            cleanModuleNotification, [&](const Notification& n) {
                                cleaned.push_back(std::any_cast<std::int64_t>(n.object));
                            }));
    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 0);
    EXPECT_EQ(report.removeSize, 0);
    EXPECT_TRUE(report.canotRemove.empty());
    EXPECT_TRUE(m.handedToHelper.empty());
    EXPECT_TRUE(m.t.exists("home/.Trash/a"));
    EXPECT_TRUE(manager->hasClean);
    MainQueue::drain();
    std::sort(cleaned.begin(), cleaned.end());
    EXPECT_EQ(cleaned, (std::vector<std::int64_t>{sysmodule::UserCache, sysmodule::Trash}));
}

TEST(CleanRun, LanguageChildrenCountOnceAndEmptyGroupsLeave) {
    SystemMachine m;
    auto manager = m.manager();
    auto child = item(m.t.path("A.app"), 30000000);
    for (const char* p : {"A.app/Contents/Resources/fr.lproj",
                          "A.app/Contents/Frameworks/K/fr.lproj", "A.app/Contents/fr.lproj"}) {
        m.t.file(std::string(p) + "/Localizable.strings", "x");
        child->removePaths.push_back(m.t.path(p));
    }
    auto unticked = item(m.t.path("B.app"), 500, false);
    unticked->removePaths = {m.t.file("B.app/Contents/Resources/fr.lproj/x", "x")};
    auto german = item(m.t.path("C.app"), 700);
    german->removePaths = {m.t.dir("C.app/de.lproj"), m.t.path("C.app/vanished.lproj")};
    manager->scanDisk->finishScan({group("French", {child, unticked}), group("German", {german})},
                                  sysmodule::Language);

    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 2);
    EXPECT_EQ(report.removeSize, 30000700);
    EXPECT_FALSE(m.t.exists("A.app/Contents/Resources/fr.lproj"));
    EXPECT_FALSE(m.t.exists("A.app/Contents/fr.lproj"));
    EXPECT_TRUE(m.t.exists("B.app/Contents/Resources/fr.lproj/x"));
    auto left = manager->moduleItems(sysmodule::Language);
    ASSERT_EQ(left->size(), 1u); // German is empty now and left
    EXPECT_EQ(test::namesOf(left->front()->subObjects), std::vector<std::string>{"B.app"});
    EXPECT_EQ(left->front()->fileSize, 500);
}

TEST(CleanRun, BinaryItemsAreThinnedAndLeaveTheListUnlessTheyCannotBe) {
    SystemMachine m;
    auto manager = m.manager();
    std::string mine = test::makeBundle(m.t, "home/Applications/Mine.app", "com.maker.mine");
    std::string theirs = test::makeBundle(m.t, "root/Applications/Theirs.app", "com.maker.theirs");
    std::string skipped = test::makeBundle(m.t, "root/Applications/Skip.app", "com.maker.skip");
    // An executable name that climbs out of the bundle is never thinned.
    std::string hostile = test::makeBundle(m.t, "home/Applications/Hostile.app", "com.maker.h");
    PlistValue::Dict info;
    info["CFBundleExecutable"] = "../../../../Mine.app/Contents/MacOS/main";
    plist::writeFile(hostile + "/Contents/Info.plist", PlistValue(info), plist::Format::Xml);
    bool locked = !asRoot() && makeLocked(m.t, "root/Applications/Theirs.app/Contents/MacOS");
    manager->scanDisk->finishScan(
        {item(mine, 100), item(theirs, 200), item(skipped, 300, false), item(hostile, 400)},
        sysmodule::Binary);
    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 0); // thinning is not counted
    // Only the bundle without an executable of its own stays, with its reason.
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::Binary)),
              std::vector<std::string>{"Hostile.app"});
    EXPECT_EQ(report.canotRemove, std::vector<std::string>{hostile});
    std::vector<std::string> all = m.thinnedAsUser;
    all.insert(all.end(), m.thinnedBySystem.begin(), m.thinnedBySystem.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{mine + "/Contents/MacOS/main",
                                             theirs + "/Contents/MacOS/main"}));
    if (locked) {
        EXPECT_EQ(m.thinnedBySystem, std::vector<std::string>{theirs + "/Contents/MacOS/main"});
        ::chmod(m.t.path("root/Applications/Theirs.app/Contents/MacOS").c_str(), 0755);
    }
    EXPECT_TRUE(m.handedToHelper.empty());
}

TEST(CleanRun, ReplacementsMoveInWithOneRenameOrNothingIsTouched) {
    SystemMachine m;
    m.retina = true;
    auto manager = m.manager();
    std::string icon = m.t.file("App.app/Contents/Resources/icon.png", "single");
    m.t.file("App.app/Contents/Resources/icon@2x.png", "double");
    std::string lonely = m.t.file("App.app/Contents/Resources/lonely.png", "no double");
    // The double-resolution twin is a folder: it cannot take the image's place.
    std::string odd = m.t.file("App.app/Contents/Resources/odd.png", "single odd");
    m.t.dir("App.app/Contents/Resources/odd@2x.png");
    manager->scanDisk->finishScan({item(icon, 6), item(lonely, 9), item(odd, 10)},
                                  sysmodule::UselessAppImages);

    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(test::readText(icon), "double");
    EXPECT_FALSE(m.t.exists("App.app/Contents/Resources/icon@2x.png"));
    EXPECT_EQ(report.removeCount, 1);
    EXPECT_EQ(report.removeSize, 6);
    // Without a usable replacement an image is never removed, only marked.
    EXPECT_EQ(test::readText(lonely), "no double");
    EXPECT_EQ(test::readText(odd), "single odd");
    EXPECT_EQ(report.canotRemove, (std::vector<std::string>{lonely, odd}));
    EXPECT_TRUE(m.handedToHelper.empty());
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::UselessAppImages)),
              (std::vector<std::string>{"lonely.png", "odd.png"}));

    // Without a Retina display the images follow the general rule.
    SystemMachine plain;
    auto other = plain.manager();
    std::string single = plain.t.file("R/x.png", "1");
    plain.t.file("R/x@2x.png", "2");
    other->scanDisk->finishScan({item(single, 1)}, sysmodule::UselessAppImages);
    EXPECT_EQ(other->clearDiskFile().removeCount, 1);
    EXPECT_FALSE(plain.t.exists("R/x.png"));
    EXPECT_TRUE(plain.t.exists("R/x@2x.png"));
}

TEST(CleanRun, PhotoCacheRemovesThePreviewAndNeverTheOriginal) {
    SystemMachine m;
    auto manager = m.manager();
    std::string master = m.t.file("Photos/Masters/2014/pic.jpg", "original, full size");
    std::string preview = m.t.file("Photos/Previews/2014/pic.jpg", "preview");
    auto photo = item(master, 7);
    photo->prePath = preview;
    manager->scanDisk->finishScan({photo}, sysmodule::iPhotoCache);
    Plan plan = manager->plan();
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].path, preview);
    EXPECT_EQ(plan.items[0].action, PlanAction::Remove);

    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 1);
    EXPECT_EQ(report.removeSize, 7);
    EXPECT_FALSE(m.t.exists("Photos/Previews/2014/pic.jpg"));
    EXPECT_EQ(test::readText(master), "original, full size");
    EXPECT_TRUE(manager->moduleItems(sysmodule::iPhotoCache)->empty());
}

TEST(CleanRun, OnlyWhatIsReallyGoneAfterTheHelperCounts) {
    SystemMachine m;
    auto manager = m.manager();
    // Items the direct pass could not remove, as the helper then left them.
    auto removed = item(m.t.path("root/Library/Caches/removed"), 20);
    auto stillThere = item(m.t.sizedFile("root/Library/Caches/still-there", 40), 40);
    auto listed = item(m.t.path("root/Library/Caches/listed"), 80);
    auto unticked = item(m.t.path("root/Library/Caches/unticked"), 160, false);
    auto child = item(m.t.path("X.app"), 300);
    child->removePaths = {m.t.path("X.app/fr.lproj"), m.t.path("X.app/Res/fr.lproj")};
    auto halfChild = item(m.t.path("Y.app"), 600);
    halfChild->removePaths = {m.t.path("Y.app/fr.lproj"), m.t.dir("Y.app/Res/fr.lproj")};
    auto job = item(m.t.path("root/Library/LaunchDaemons/gone.plist"), 0);
    manager->scanDisk->finishScan({removed, stillThere, listed, unticked}, sysmodule::SystemCache);
    manager->scanDisk->finishScan({group("French", {child, halfChild})}, sysmodule::Language);
    manager->scanDisk->finishScan({job}, sysmodule::BrokenLoginItems);

    CleanReport report;
    report.canotRemove = {"kept as it is"};
    manager->clearSystemObject(report, {listed->path});
    // The half-removed child counts once, and frees nothing that is known.
    EXPECT_EQ(report.removeCount, 4);
    EXPECT_EQ(report.removeSize, 320);
    EXPECT_EQ(report.removeIssue, 1);
    EXPECT_EQ(report.canotRemove, std::vector<std::string>{"kept as it is"});
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::SystemCache)),
              (std::vector<std::string>{"still-there", "listed", "unticked"}));
    auto french = manager->moduleItems(sysmodule::Language)->front();
    EXPECT_EQ(test::namesOf(french->subObjects), std::vector<std::string>{"Y.app"});
    EXPECT_EQ(halfChild->removePaths, std::vector<std::string>{m.t.path("Y.app/Res/fr.lproj")});
    EXPECT_TRUE(manager->moduleItems(sysmodule::BrokenLoginItems)->empty());
}

TEST(CleanRun, WhatTheUserMayNotRemoveGoesToTheHelperOnce) {
    if (asRoot())
        GTEST_SKIP()
            << "permissions do not stop root; the end-to-end test covers it as another user";
    SystemMachine m;
    auto manager = m.manager();
    std::string freeFile = m.t.sizedFile("home/Library/Caches/free", 10);
    std::string held = m.t.sizedFile("root/Library/Caches/held", 20);
    std::string stubborn = m.t.sizedFile("root/Library/Caches/stubborn", 40);
    auto stubbornItem = item(stubborn, 40);
    manager->scanDisk->finishScan({item(freeFile, 10)}, sysmodule::UserCache);
    manager->scanDisk->finishScan({item(held, 20), stubbornItem}, sysmodule::SystemCache);
    ASSERT_TRUE(makeLocked(m.t, "root/Library/Caches"));

    // A refusing helper: nothing more is counted, the items stay ticked and marked.
    CleanReport refused = manager->clearDiskFile();
    EXPECT_EQ(refused.removeCount, 1);
    EXPECT_EQ(refused.canotRemove, (std::vector<std::string>{held, stubborn}));
    EXPECT_TRUE(stubbornItem->canotRemove);
    EXPECT_TRUE(stubbornItem->isCheck);

    // A helper that claims success but leaves one file where it was.
    m.helper = [&](const std::vector<std::string>&, std::vector<std::string>* notRemoved) {
        ::chmod(m.t.path("root/Library/Caches").c_str(), 0755);
        ::unlink(held.c_str());
        notRemoved->clear();
        return true;
    };
    ASSERT_TRUE(makeLocked(m.t, "root/Library/Caches"));
    CleanReport report = manager->clearDiskFile();
    ASSERT_EQ(m.handedToHelper.size(), 2u);
    EXPECT_EQ(m.handedToHelper[1], (std::vector<std::string>{held, stubborn}));
    EXPECT_EQ(report.removeCount, 1);
    EXPECT_EQ(report.removeSize, 20);
    EXPECT_EQ(report.canotRemove, (std::vector<std::string>{held, stubborn}));
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::SystemCache)),
              std::vector<std::string>{"stubborn"});
}

TEST(CleanRun, AStopLeavesTheRestAndDoesNotStopTheNextRun) {
    SystemMachine m;
    auto manager = m.manager();
    // Enough items that the stopper, however late the machine lets it run,
    // stops the clean before its end.
    const int kItems = 2000;
    ScanItemList many;
    for (int i = 0; i < kItems; ++i)
        many.push_back(item(m.t.file("home/.Trash/f" + std::to_string(i), "x"), 1));
    manager->scanDisk->finishScan(many, sysmodule::Trash);
    // Stop as soon as the first file is gone.
    std::atomic<bool> stopping{true};
    std::thread stopper([&] {
        while (stopping && m.t.exists("home/.Trash/f0"))
            std::this_thread::yield();
        manager->clearStop();
    });
    CleanReport report = manager->clearDiskFile();
    stopping = false;
    stopper.join();
    EXPECT_TRUE(manager->clearStopped());
    EXPECT_LT(report.removeCount, kItems);
    // The helper hears the stop from a worker.
    for (int i = 0; i < 2000 && m.helperStops == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(m.helperStops, 1);
    auto left = manager->moduleItems(sysmodule::Trash);
    EXPECT_EQ(static_cast<std::int64_t>(left->size()), kItems - report.removeCount);
    for (const auto& i : *left)
        EXPECT_EQ(::access(i->path.c_str(), F_OK), 0) << i->path;
    int onDisk = 0; // every item counted is gone from the disk
    for (int i = 0; i < kItems; ++i)
        onDisk += m.t.exists("home/.Trash/f" + std::to_string(i));
    EXPECT_EQ(onDisk, kItems - report.removeCount);
    EXPECT_TRUE(m.handedToHelper.empty());

    CleanReport next = manager->clearDiskFile();
    EXPECT_FALSE(manager->clearStopped());
    EXPECT_EQ(report.removeCount + next.removeCount, kItems);
    EXPECT_TRUE(manager->moduleItems(sysmodule::Trash)->empty());
}

TEST(CleanRun, LoginItemsLeaveTheListAndJobsLeaveTheDisk) {
    SystemMachine m;
    auto manager = m.manager();
    ASSERT_TRUE(m.loginStore->add({"Gone", "/Applications/Gone.app", false}));
    ASSERT_TRUE(m.loginStore->add({"Kept", "/Applications/Kept.app", false}));
    m.logins.loadData();
    std::string job = m.t.file("home/Library/LaunchAgents/com.maker.gone.plist", "<plist/>");
    auto login = item("", 0);
    login->name = "Gone";
    login->isLogin = true;
    auto kept = item("", 0, false);
    kept->name = "Kept";
    kept->isLogin = true;
    manager->scanDisk->finishScan({login, kept, item(job, 0)}, sysmodule::BrokenLoginItems);
    CleanReport report = manager->clearDiskFile();
    EXPECT_EQ(report.removeCount, 2);
    EXPECT_EQ(report.removeIssue, 2);
    EXPECT_FALSE(m.t.exists("home/Library/LaunchAgents/com.maker.gone.plist"));
    auto names = m.loginStore->snapshot();
    ASSERT_EQ(names->size(), 1u);
    EXPECT_EQ((*names)[0].name, "Kept");
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::BrokenLoginItems)),
              std::vector<std::string>{"Kept"});
    MainQueue::drain();
}

TEST(CleanRun, RemovalNeverFollowsALinkOutOfTheItem) {
    SystemMachine m;
    auto manager = m.manager();
    m.t.file("precious/data", "keep");
    m.t.symlink("home/Library/Caches/com.maker.x/link", m.t.path("precious"));
    std::string topLink = m.t.symlink("home/Library/Caches/toplink", m.t.path("precious"));
    manager->scanDisk->finishScan(
        {item(m.t.path("home/Library/Caches/com.maker.x"), 1), item(topLink, 1)},
        sysmodule::UserCache);
    EXPECT_EQ(manager->clearDiskFile().removeCount, 2);
    EXPECT_FALSE(m.t.exists("home/Library/Caches/com.maker.x"));
    EXPECT_FALSE(m.t.exists("home/Library/Caches/toplink"));
    EXPECT_EQ(test::readText(m.t.path("precious/data")), "keep");
}
