// The scan scheduler and the file-scan task on fixture trees.
#include "ScanCode/system/CacheScanner.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "model/CommonFunction.h"
#include "model/SettingModel.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/DiskUsage.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <thread>

using namespace tessaly;
using test::SystemMachine;

namespace {

std::map<std::string, ScanItem> byName(const ScanItemList& list) {
    std::map<std::string, ScanItem> out;
    for (const auto& i : list)
        out[i->name] = i;
    return out;
}

ScanItemList scan(const std::vector<ScanInputObject>& places, int module,
                  SearchApplications* catalogue = nullptr) {
    ScanFileOperation op(std::make_shared<std::vector<ScanInputObject>>(places), module, nullptr,
                         catalogue);
    return op.scanFiles();
}

ScanInputObject place(const std::string& path, const std::string& key = {}, bool check = true) {
    ScanInputObject p;
    p.path = path;
    p.key = key;
    p.isCheck = check;
    return p;
}

// Collects the module numbers of "scanModuleFinish" and the paths of "PathUpdate".
struct Notes {
    bool drained = (MainQueue::drain(), true); // earlier tests' posts are not ours
    std::vector<std::int64_t> finished;
    std::vector<std::string> paths;
    ObserverToken a{NotificationCenter::defaultCenter(),
                    NotificationCenter::defaultCenter().addObserver(
                        scanModuleFinishNotification, [this](const Notification& n) {
                            finished.push_back(std::any_cast<std::int64_t>(n.object));
                        })};
    ObserverToken b{NotificationCenter::defaultCenter(),
                    NotificationCenter::defaultCenter().addObserver(
                        pathUpdateNotification, [this](const Notification& n) {
                            paths.push_back(std::any_cast<std::string>(n.object));
                        })};
};

} // namespace

TEST(ScanFileOperation, ListsDirectEntriesWithTheirSizesLargestFirst) {
    SystemMachine m;
    SettingModel::shareSettingModel().blockSize = 4096;
    const std::int64_t block = CommonFunction::getDiskFileSize(1);
    ASSERT_GT(block, 1);
    m.t.sizedFile("home/Library/Caches/com.maker.big/a/b/deep",
                  3 * static_cast<std::uint64_t>(block) + 1);
    m.t.sizedFile("home/Library/Caches/com.maker.big/.hidden-inside", 10);
    m.t.sizedFile("home/Library/Caches/single.db", 1234);
    m.t.file("home/Library/Caches/.DS_Store", "x");
    // A link to a large folder counts only its own size.
    m.t.sizedFile("elsewhere/huge", 5000000);
    m.t.symlink("home/Library/Caches/link", m.t.path("elsewhere"));
    Notes notes;

    ScanItemList items =
        scan({place(m.home + "/Library/Caches"), place(m.t.path("missing"))}, sysmodule::UserCache);
    auto found = byName(items);
    ASSERT_EQ(found.size(), 3u);
    // What removing each entry gives back, as du counts it: a folder with its
    // own blocks and hidden files, a file its blocks, a link only itself.
    EXPECT_EQ(found["com.maker.big"]->fileSize,
              test::duBytes({m.home + "/Library/Caches/com.maker.big"}));
    EXPECT_GE(found["com.maker.big"]->fileSize, 4 * block + block);
    EXPECT_TRUE(found["com.maker.big"]->isDir);
    EXPECT_EQ(found["single.db"]->fileSize, test::duBytes({found["single.db"]->path}));
    EXPECT_EQ(found["link"]->fileSize, test::duBytes({found["link"]->path}));
    EXPECT_LT(found["link"]->fileSize, 5000000);
    EXPECT_EQ(items.front()->name, "com.maker.big");
    for (const auto& i : items)
        EXPECT_TRUE(i->isCheck);
    EXPECT_EQ(found["single.db"]->path, m.home + "/Library/Caches/single.db");

    MainQueue::drain();
    EXPECT_EQ(notes.paths.size(), 3u);
    EXPECT_TRUE(m.t.exists("elsewhere/huge"));
}

TEST(ScanFileOperation, KeysExclusionsFilesAndContainers) {
    SystemMachine m;
    m.t.sizedFile("home/Library/iTunes/iPhone Software Updates/iPhone.ipsw", 900);
    m.t.sizedFile("home/Library/iTunes/Pad_9.ipsw", 800);
    m.t.file("home/Library/iTunes/notes.txt", "text");
    auto updates = byName(scan({place(m.home + "/Library/iTunes", ".ipsw", false)}, 0));
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_FALSE(updates["Pad_9.ipsw"]->isCheck); // ticked as the place says

    m.t.file("root/Library/Caches/com.apple.finder/x", "x");
    m.t.file("root/Library/Caches/COM.APPLE.FINDER", "y");
    m.t.file("root/Library/Caches/com.apple.other", "z");
    auto system = byName(scan({place(m.root + "/Library/Caches")}, sysmodule::SystemCache));
    EXPECT_EQ(system.size(), 1u);
    EXPECT_EQ(system.count("com.apple.other"), 1u);
    // Another module lists the same name.
    EXPECT_EQ(scan({place(m.root + "/Library/Caches")}, sysmodule::SystemLog).size(), 3u);

    // A place that is a file is one item.
    std::string trashFile = m.t.sizedFile("home/.Trash", 77);
    auto trash = scan({place(trashFile)}, sysmodule::Trash);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_EQ(trash[0]->name, ".Trash");
    EXPECT_EQ(trash[0]->fileSize, test::duBytes({trashFile}));

    // Container caches and logs come first for the user modules only.
    m.t.sizedFile("home/Library/Containers/com.maker.app/Data/Library/Caches/cache.db", 5);
    m.t.sizedFile("home/Library/Containers/com.maker.app/Data/Library/Caches/.hidden", 5);
    m.t.sizedFile("home/Library/Containers/com.maker.app/Data/Library/Logs/run.log", 6);
    m.t.file("home/Library/Containers/.hidden/Data/Library/Caches/no", "n");
    EXPECT_EQ(test::namesOf(std::make_shared<ScanItemList>(scan({}, sysmodule::UserCache))),
              std::vector<std::string>{"cache.db"});
    EXPECT_EQ(test::namesOf(std::make_shared<ScanItemList>(scan({}, sysmodule::UserLog))),
              std::vector<std::string>{"run.log"});
    EXPECT_TRUE(scan({}, sysmodule::Trash).empty());
}

TEST(ScanFileOperation, CacheAndLogEntriesShowTheirApplicationsIcon) {
    SystemMachine m;
    std::string foo =
        test::makeBundle(m.t, "root/Applications/Foo Editor.app", "com.maker.fooeditor");
    std::string bar = test::makeBundle(m.t, "root/Applications/Bar.app", "com.maker.bar");
    m.buildCatalogue();
    m.t.file("home/Library/Caches/com.maker.fooeditor/c", "c"); // identifier
    m.t.file("home/Library/Caches/com.other.main/c", "c");      // executable "main" = ext
    m.t.file("home/Library/Caches/BarCache/c", "c");            // name inside, any case
    m.t.file("home/Library/Caches/Thing.bundle/c", "c");        // a package keeps its own
    m.t.file("home/Library/Caches/unrelated/c", "c");
    auto items =
        byName(scan({place(m.home + "/Library/Caches")}, sysmodule::SystemCache, &m.catalogue));
    auto icon = [&](const std::string& name) { return items[name]->icon; };
    auto appIcon = [&](const std::string& bundle) {
        for (const auto& app : m.catalogue.allApplications())
            if (app->path == bundle)
                return app->image.empty() ? app->path : app->image;
        return std::string("none");
    };
    EXPECT_EQ(icon("com.maker.fooeditor"), appIcon(foo));
    EXPECT_EQ(icon("BarCache"), appIcon(bar));
    EXPECT_NE(icon("com.other.main"), items["com.other.main"]->path);
    EXPECT_EQ(icon("Thing.bundle"), items["Thing.bundle"]->path);
    EXPECT_EQ(icon("unrelated"), items["unrelated"]->path);
    // The Trash shows the items' own icons.
    auto trash = scan({place(m.home + "/Library/Caches")}, sysmodule::Trash, &m.catalogue);
    for (const auto& i : trash)
        EXPECT_EQ(i->icon, i->path);
}

TEST(CacheScanner, DeliveriesAreStoredAndAnnouncedPerModule) {
    SystemMachine m;
    m.buildCatalogue();
    bool cleaned = false;
    CacheScanner scanner(m.catalogue, [&] { return cleaned; });
    Notes notes;
    m.t.sizedFile("home/.Trash/old", 100);
    scanner.addFileScanTask(std::make_shared<std::vector<ScanInputObject>>(
                                std::vector<ScanInputObject>{place(m.home + "/.Trash")}),
                            sysmodule::Trash);
    // A task that fails delivers nothing; the scan still completes.
    scanner.addTask(std::make_shared<BlockOperation>(
        [](const Operation&) { throw std::runtime_error("broken task"); }));
    ASSERT_TRUE(scanner.start());
    EXPECT_EQ(scanner.pendingTasks(), 0u);
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::Trash));
    EXPECT_FALSE(scanner.bScanFinsh(sysmodule::UserCache));
    ASSERT_TRUE(scanner.dataForModule(sysmodule::Trash));
    EXPECT_EQ(scanner.dataForModule(sysmodule::Trash)->size(), 1u);

    // After a clean, a small User Cache result is dropped without a notice;
    // a larger one is kept.
    cleaned = true;
    scanner.finishScan({test::item("/a", 10000), test::item("/b", 19999)}, sysmodule::UserCache);
    EXPECT_FALSE(scanner.dataForModule(sysmodule::UserCache));
    EXPECT_TRUE(scanner.bScanFinsh(sysmodule::UserCache));
    scanner.finishScan({test::item("/a", 10000), test::item("/b", 20000)}, sysmodule::UserCache);
    EXPECT_TRUE(scanner.dataForModule(sysmodule::UserCache));
    scanner.finishScan({test::item("/a", 1), test::item("/b", 1), test::item("/c", 1)},
                       sysmodule::UserCache);
    EXPECT_EQ(scanner.dataForModule(sysmodule::UserCache)->size(), 3u);
    MainQueue::drain();
    EXPECT_EQ(notes.finished, (std::vector<std::int64_t>{sysmodule::Trash, sysmodule::UserCache,
                                                         sysmodule::UserCache}));

    // The next start empties the store and the flags.
    ASSERT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.data().empty());
    EXPECT_FALSE(scanner.bScanFinsh(sysmodule::Trash));
}

TEST(CacheScanner, AStopWhileWaitingForTheCatalogueRunsNoTask) {
    SystemMachine m; // the catalogue is never built
    CacheScanner scanner(m.catalogue, [] { return false; });
    std::atomic<bool> ran{false};
    scanner.addTask(std::make_shared<BlockOperation>([&](const Operation&) { ran = true; }));
    // Prepared on this thread, the stop reaches the start whether or not it has
    // begun to wait by then.
    scanner.prepareStart();
    auto started = std::async(std::launch::async, [&] { return scanner.start(); });
    scanner.stop();
    EXPECT_FALSE(started.get());
    EXPECT_FALSE(ran);
    EXPECT_EQ(scanner.pendingTasks(), 0u);

    // A caller's token stops it the same way, before or while it waits.
    std::stop_source caller;
    scanner.addTask(std::make_shared<BlockOperation>([&](const Operation&) { ran = true; }));
    auto waiting =
        std::async(std::launch::async, [&] { return scanner.start(caller.get_token()); });
    caller.request_stop();
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(ran);

    // The stop does not outlive the scan: the next start runs its tasks.
    m.buildCatalogue();
    scanner.addTask(std::make_shared<BlockOperation>([&](const Operation&) { ran = true; }));
    EXPECT_TRUE(scanner.start());
    EXPECT_TRUE(ran);
}

TEST(CacheScanner, ModuleScannerTasksReportTheirModules) {
    SystemMachine m;
    CacheScanner scanner(
        m.catalogue, [] { return false; }, m.services());
    m.t.file("home/Library/Preferences/com.gone.app.plist", "p");
    scanner.addLanguageScanTask();
    scanner.addLeftOverScaner();
    scanner.addBinariesScanTask();
    scanner.addiPhotoScanTask(std::nullopt); // no photo library: an empty result
    EXPECT_EQ(scanner.pendingTasks(), 4u);
    m.buildCatalogue();
    ASSERT_TRUE(scanner.start());
    for (int module :
         {sysmodule::Language, sysmodule::AppLeftover, sysmodule::Binary, sysmodule::iPhotoCache}) {
        EXPECT_TRUE(scanner.bScanFinsh(module)) << module;
        ASSERT_TRUE(scanner.dataForModule(module)) << module;
    }
    EXPECT_TRUE(scanner.dataForModule(sysmodule::Language)->empty());
    EXPECT_TRUE(scanner.dataForModule(sysmodule::Binary)->empty());
    EXPECT_TRUE(scanner.dataForModule(sysmodule::iPhotoCache)->empty());
    EXPECT_EQ(test::namesOf(scanner.dataForModule(sysmodule::AppLeftover)),
              std::vector<std::string>{"com.gone.app.plist"});
}
