// What a clean says it freed is what the disk gave back. Each engine cleans a
// fixture of sparse files, short and long links, hard links, nested folders and
// paths planned inside others, and `du -s -B1` (coreutils) measures the fixture
// before and after; in both home layouts. What must stay (a link's target, the
// other name of a hard link) is checked byte for byte.
#include "ScanCode/ToolEngine.h"
#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/eraser/ShredderFiles.h"
#include "ScanCode/old/OldFileScan.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"
#include "tests/support/DiskUsage.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;

namespace {

constexpr std::int64_t kGB = 1LL << 30;

// The files outside the cleaned places that a clean must leave as they are.
struct Kept {
    std::vector<std::pair<std::string, std::string>> files; // path, contents

    void keep(const std::string& path) { files.emplace_back(path, test::readText(path)); }
    void expectIntact() const {
        for (const auto& [path, contents] : files)
            EXPECT_EQ(test::readText(path), contents) << path << " was changed";
    }
};

// A folder of everything that sizes get wrong: a 2 GB sparse file with 400 KB of
// data, folders in folders (one empty), short links (kept in their inodes) and a
// long one (given a block) and, when `hardLinks` is set, two names of one file
// both inside and a file whose other name lies outside and stays.
void mixedFolder(const test::TempTree& t, const std::string& folder, const std::string& outside,
                 Kept& kept, bool hardLinks = true) {
    test::sparseFile(t, folder + "/disk.img", 2 * kGB, kGB, 400 * 1024);
    t.sizedFile(folder + "/a/b/c/notes.txt", 5000);
    t.sizedFile(folder + "/a/tiny", 10);
    t.dir(folder + "/a/empty/deeper");
    const std::string target = outside + "/big-" + paths::lastComponent(folder);
    kept.keep(t.sizedFile(target, 1 << 20, 'T'));
    for (const std::string link : {"/short-1", "/a/short-2", "/a/b/short-3", "/a/b/c/short-4"}) {
        // Relative, so that the link is short enough to live in its inode.
        std::string up;
        for (char c : folder + link)
            if (c == '/')
                up += "../";
        t.symlink(folder + link, up + target);
    }
    t.symlink(folder + "/long", std::string(300, 'L')); // a dangling link with a long target
    if (hardLinks) {
        const std::string pair = t.sizedFile(folder + "/pair-1", 9000, 'p');
        ASSERT_EQ(::link(pair.c_str(), t.path(folder + "/a/pair-2").c_str()), 0);
        const std::string shared = t.sizedFile(folder + "/shared", 70000, 's');
        const std::string other = t.path(outside + "/shared-" + paths::lastComponent(folder));
        ASSERT_EQ(::link(shared.c_str(), other.c_str()), 0);
        kept.keep(other);
    }
}

// Last opened and changed long ago.
void makeOld(const std::string& path) {
    const struct timespec when { ::time(nullptr) - 400 * 86400, 0 };
    const struct timespec times[2] = {when, when};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

class FreedSpace : public testing::TestWithParam<const char*> {
protected:
    bool linux() const { return std::string(GetParam()) == "linux"; }

    // Cleans the whole plan and compares what the clean and its plan say with
    // what du says the measured places gave back: within one block per step
    // (what a file system keeps beyond the rounded size), and the clean's figure
    // is the plan's when everything went.
    CleanOutcome cleanAndMeasure(ToolEngine& engine, const std::vector<std::string>& measured,
                                 const test::ScopedBlockSize& block) {
        const Plan plan = engine.plan();
        EXPECT_FALSE(plan.items.empty());
        const std::int64_t before = test::duBytes(measured);
        CleanOutcome outcome = engine.clean(plan, {}, {});
        MainQueue::drain();
        const std::int64_t after = test::duBytes(measured);
        EXPECT_GE(before, 0);
        EXPECT_GE(after, 0);
        for (const LeftItem& left : outcome.left)
            ADD_FAILURE() << left.path << " was left: " << left.reason;
        const std::int64_t fall = before - after;
        const std::int64_t slack = block.block() * static_cast<std::int64_t>(plan.items.size());
        EXPECT_LE(std::llabs(outcome.bytes - fall), slack)
            << "freed " << outcome.bytes << ", the disk gave back " << fall;
        EXPECT_EQ(outcome.bytes, plan.bytes());
        return outcome;
    }

    test::ScopedEnv layout{"TESSALY_LAYOUT", GetParam()};
    Kept kept;
};

TEST_P(FreedSpace, SystemCleanupCountsEachPathOnceAndAsTheDiskHoldsIt) {
    test::SystemMachine m;
    auto& t = m.t;
    const test::ScopedBlockSize block(t.root());
    const std::string cache = linux() ? "home/.cache" : "home/Library/Caches";
    const std::string trash = linux() ? "home/.local/share/Trash/files" : "home/.Trash";
    mixedFolder(t, cache + "/com.maker.Mixed", "outside", kept);
    test::sparseFile(t, cache + "/single.img", 2 * kGB, 0, 400 * 1024);
    t.symlink(cache + "/link-entry", t.path("outside/big-com.maker.Mixed"));
    mixedFolder(t, trash + "/old project", "outside", kept);
    test::sparseFile(t, trash + "/vm.iso", 2 * kGB, 4096, 8192);
    if (linux()) {
        t.file("home/.local/share/Trash/info/vm.iso.trashinfo", "[Trash Info]\nPath=/x/vm.iso\n");
        // A Flatpak application that was removed: its data folder is a leftover,
        // and its cache inside it a User Cache entry that goes with it.
        t.file("root/usr/share/applications/org.gnome.TextEditor.desktop",
               "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=gnome-text-editor\n");
        t.sizedFile("home/.var/app/com.gone.Player/cache/blob", 300000);
        t.sizedFile("home/.var/app/com.gone.Player/data/library.db", 100000);
    }
    m.buildCatalogue();
    auto manager = m.manager();
    manager->setModuleFilter({sysmodule::UserCache, sysmodule::Trash, sysmodule::AppLeftover});
    ASSERT_FALSE(manager->scan({}, {}).stopped);
    MainQueue::drain();

    const Plan plan = manager->plan();
    std::vector<std::string> planned;
    for (const PlanItem& p : plan.items)
        planned.push_back(p.path.substr(t.root().size() + 1));
    EXPECT_EQ(std::set<std::string>(planned.begin(), planned.end()).size(), planned.size());
    if (linux()) {
        // The leftover carries the cache inside it: planned and counted once.
        EXPECT_NE(std::find(planned.begin(), planned.end(), "home/.var/app/com.gone.Player"),
                  planned.end());
        for (const std::string& path : planned)
            EXPECT_NE(path.rfind("home/.var/app/com.gone.Player/", 0), 0u) << path;
    }

    cleanAndMeasure(*manager, {m.home, m.root, t.path("outside")}, block);
    kept.expectIntact();
    for (const std::string& gone : {cache + "/com.maker.Mixed", cache + "/single.img",
                                    trash + "/old project", trash + "/vm.iso"})
        EXPECT_FALSE(t.exists(gone)) << gone;
    // Nothing stays listed that is gone, the carried cache included.
    EXPECT_EQ(manager->totleSizeAllModule(), 0);
    if (linux()) {
        EXPECT_FALSE(t.exists("home/.var/app/com.gone.Player"));
        EXPECT_FALSE(t.exists("home/.local/share/Trash/info/vm.iso.trashinfo"));
        EXPECT_TRUE(t.exists("root/usr/share/applications/org.gnome.TextEditor.desktop"));
    }
}

TEST_P(FreedSpace, OldFilesCountWhatTheDiskGivesBackNotTheLength) {
    test::FixtureRoots r;
    auto& t = r.t;
    const test::ScopedBlockSize block(t.root());
    // Old files of every kind: sparse, dense, a bundle holding the mixed folder,
    // and a file whose other name lies outside (removing it frees nothing).
    std::vector<std::string> old = {
        test::sparseFile(t, "scan/vm.img", 2 * kGB, kGB, 400 * 1024),
        t.sizedFile("scan/deep/er/setup.bin", 6'000'000),
        t.sizedFile("scan/linked.bin", 7'000'000, 'l'),
    };
    t.dir("outside");
    ASSERT_EQ(::link(old.back().c_str(), t.path("outside/linked-name").c_str()), 0);
    kept.keep(t.path("outside/linked-name"));
    mixedFolder(t, "scan/Tool.app", "outside", kept);
    t.sizedFile("scan/Tool.app/Contents/payload", 6'000'000);
    for (const std::string& path : old)
        makeOld(path);
    makeOld(t.path("scan/Tool.app"));

    OldFileScan engine;
    engine.setScanFolders({t.path("scan")});
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    std::size_t found = 0;
    for (const auto& age : engine.data)
        for (const auto& sizeClass : age->data)
            for (const auto& f : sizeClass->data) {
                f->isCheck = true;
                ++found;
            }
    EXPECT_EQ(found, 4u);

    cleanAndMeasure(engine, {t.path("scan"), t.path("outside")}, block);
    kept.expectIntact();
    EXPECT_FALSE(t.exists("scan/Tool.app"));
    EXPECT_FALSE(t.exists("scan/vm.img"));
}

TEST_P(FreedSpace, DuplicatesCountTheCopyTheyRemove) {
    test::FixtureRoots r;
    auto& t = r.t;
    const test::ScopedBlockSize block(t.root());
    // The same 300 KB in a dense copy and in a sparse one (its zeros a hole).
    const std::string a(100 * 1024, 'a'), zeros(100 * 1024, '\0'), b(100 * 1024, 'b');
    t.file("scan/Documents/report.bin", a + zeros + b);
    const std::string sparse = t.file("scan/Downloads/report copy.bin");
    {
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, a.data(), a.size(), 0), static_cast<ssize_t>(a.size()));
        ASSERT_EQ(::pwrite(fd, b.data(), b.size(), 200 * 1024), static_cast<ssize_t>(b.size()));
        ::close(fd);
    }
    // A copy whose other name lies outside the scanned folder.
    const std::string linked = t.sizedFile("scan/Music/song.bin", 50000, 'm');
    t.sizedFile("scan/Music/song copy.bin", 50000, 'm');
    t.dir("outside");
    ASSERT_EQ(::link(linked.c_str(), t.path("outside/song-name").c_str()), 0);
    kept.keep(t.path("outside/song-name"));

    DuplicateFile engine([](const std::vector<std::string>& paths, std::vector<std::string>* left) {
        *left = paths;
        return true;
    });
    engine.setScanFolders({t.path("scan")});
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    cleanAndMeasure(engine, {t.path("scan"), t.path("outside")}, block);
    kept.expectIntact();
}

TEST_P(FreedSpace, TheEraserCountsFilesFoldersAndLinksAsTheyLay) {
    test::FixtureRoots r;
    auto& t = r.t;
    const test::ScopedBlockSize block(t.root());
    // Erasing overwrites every file of a folder: no file there has other names.
    mixedFolder(t, "picked/secret", "outside", kept, /*hardLinks=*/false);
    std::vector<std::string> picked = {
        t.path("picked/secret"),
        test::sparseFile(t, "picked/vm.img", 2 * kGB, 8192, 400 * 1024),
        t.symlink("picked/shortcut", t.path("outside/big-secret")),
    };
    ShredderEnvironment env;
    env.overwriteAsRoot = [](const std::string&, bool* reached) {
        *reached = true;
        return false;
    };
    env.removeAsRoot = [](const std::vector<std::string>& paths, std::vector<std::string>* left) {
        *left = paths;
        return true;
    };
    ShredderFiles engine(env);
    engine.setPaths(picked);
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    cleanAndMeasure(engine, {t.path("picked"), t.path("outside")}, block);
    kept.expectIntact();
    for (const std::string& path : picked)
        EXPECT_FALSE(fileops::itemExists(path)) << path;
}

TEST_P(FreedSpace, TheUninstallerMeasuresAtTheScanThatMakesThePlan) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    const test::ScopedBlockSize block(t.root());
    t.dir("outside");
    std::vector<std::string> targets;
    if (linux()) {
        t.file("home/.local/share/applications/com.maker.Tool.desktop",
               "[Desktop Entry]\nType=Application\nName=Tool\nExec=/opt/tool/tool\n");
        kept.keep(t.file("root/usr/share/applications/org.other.App.desktop",
                         "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n"));
        targets = {"com.maker.Tool"};
    } else {
        // Two copies of one application: the caches and settings both claim go once.
        test::makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
        test::makeApp(t, "home/Applications/Tool.app", "com.maker.Tool", "Tool");
        mixedFolder(t, "root/Applications/Tool.app/Contents/Resources", "outside", kept);
        mixedFolder(t, "home/Library/Caches/com.maker.Tool", "outside", kept);
        t.file("home/Library/Preferences/com.maker.Tool.plist", "prefs");
        targets = {t.path("root/Applications/Tool.app"), t.path("home/Applications/Tool.app")};
    }
    SearchApplications engine(u.environment());
    engine.setTargets(targets);
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    ASSERT_EQ(engine.selectAllApps().size(), targets.size());

    // The files grow after the first search; the next scan's plan says so.
    if (linux())
        t.file("home/.local/share/applications/com.maker.Tool.desktop",
               "[Desktop Entry]\nType=Application\nName=Tool\nExec=/opt/tool/tool\nComment=" +
                   std::string(20000, 'c') + "\n");
    else {
        t.sizedFile("root/Applications/Tool.app/Contents/Resources/grown.bin", 3'000'000);
        t.sizedFile("home/Library/Caches/com.maker.Tool/grown/more.bin", 2'000'000);
    }
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    std::vector<std::string> removed;
    for (const PlanItem& p : engine.plan().items)
        if (p.action == PlanAction::Remove)
            removed.push_back(p.path);
    EXPECT_EQ(std::set<std::string>(removed.begin(), removed.end()).size(), removed.size());

    cleanAndMeasure(engine, {u.m.home, u.m.root, t.path("outside")}, block);
    kept.expectIntact();
    for (const AppItemRef& item : engine.allApplicationsForUninstall())
        EXPECT_NE(item->bundleID, "com.maker.Tool") << item->path << " is still listed";
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, FreedSpace, testing::Values("macos", "linux"),
                         [](const testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param);
                         });

} // namespace
