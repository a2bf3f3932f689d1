// The Old Files Finder on fixture folders whose files carry explicit times: age
// and size classes, what is never listed, the advance ticks, and removal.
#include "ScanCode/old/OldFileScan.h"
#include "model/FolderWalk.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

constexpr double kDay = 86400;

struct timespec daysAgo(double days) {
    struct timespec t;
    t.tv_sec = static_cast<time_t>(unixSeconds(now()) - days * kDay);
    t.tv_nsec = 0;
    return t;
}

// Sets a path's last access to `accessed` days ago and its modification to
// `modified` days ago (the same by default).
void age(const std::string& path, double accessed, double modified = -1) {
    struct timespec times[2] = {daysAgo(accessed), daysAgo(modified < 0 ? accessed : modified)};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class OldFiles : public testing::Test {
protected:
    test::FixtureRoots m;
    OldFileScan engine;

    // A file of `size` bytes (sparse) opened `days` ago.
    std::string file(const std::string& relative, std::uint64_t size, double days) {
        std::string path = m.t.file(relative);
        EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
        age(path, days);
        return path;
    }

    void scan(const std::vector<std::string>& relative = {"home/Downloads"}) {
        std::vector<std::string> folders;
        for (const auto& r : relative)
            folders.push_back(m.t.path(r));
        engine.scanOldFile(folders);
        MainQueue::drain();
    }

    // Each listed file's name with its age class and size class.
    std::map<std::string, std::pair<std::string, std::string>> listed() const {
        std::map<std::string, std::pair<std::string, std::string>> out;
        for (const auto& type : engine.data)
            for (const auto& c : type->data)
                for (const auto& f : c->data)
                    out[f->path.substr(f->path.rfind('/') + 1)] = {type->name, c->name};
        return out;
    }

    bool ticked(const std::string& name) const {
        for (const auto& type : engine.data)
            for (const auto& c : type->data)
                for (const auto& f : c->data)
                    if (f->path.substr(f->path.rfind('/') + 1) == name)
                        return f->isCheck;
        ADD_FAILURE() << name << " is not listed";
        return false;
    }
};

} // namespace

TEST_F(OldFiles, AgeAndSizeClassesAndWhatIsNeverListed) {
    file("home/Downloads/just-below.bin", 4'999'999, 40);
    file("home/Downloads/five.bin", 5'000'000, 40);
    file("home/Downloads/ten.bin", 10'000'000, 40);
    file("home/Downloads/huge.bin", 2'000'000'000, 800);
    file("home/Downloads/recent.bin", 6'000'000, 20);
    file("home/Downloads/year.bin", 6'000'000, 400);
    // Rewritten two days ago, last read 40 days ago: a write leaves the access
    // time old, and the file is not old.
    age(file("home/Downloads/rewritten.zip", 6'000'000, 40), 40, 2);
    // Read a year ago, written 35 days ago: last used 35 days ago.
    age(file("home/Downloads/read-long-ago.bin", 6'000'000, 365), 365, 35);
    file("home/Downloads/.hidden.bin", 6'000'000, 40);
    file("home/Downloads/deep/inside/nested.bin", 6'000'000, 100);
    m.t.symlink("home/Downloads/link.bin", m.t.path("home/Downloads/five.bin"));
    // A bundle is one item, measured whole, never entered.
    std::string bundle = test::makeBundle(m.t, "home/Downloads/Tool.app", "com.maker.tool", "1",
                                          plist::Format::Xml, 7'000'000);
    age(bundle, 50);
    scan();

    using Where = std::pair<std::string, std::string>;
    std::map<std::string, Where> expected{
        {"five.bin", {"1 month ago", "5MB - 10MB"}},
        {"ten.bin", {"1 month ago", "10MB - 100MB"}},
        {"huge.bin", {"2 years ago", "More than 10MB"}},
        {"year.bin", {"1 year ago", "5MB - 10MB"}},
        {"read-long-ago.bin", {"1 month ago", "5MB - 10MB"}},
        {"nested.bin", {"3 months ago", "5MB - 10MB"}},
        {"Tool.app", {"1 month ago", "5MB - 10MB"}},
    };
    EXPECT_EQ(listed(), expected);
    ASSERT_EQ(engine.data.size(), 5u); // empty age classes stay
    EXPECT_EQ(engine.data[0]->name, "2 years ago");
    EXPECT_EQ(engine.data[4]->name, "1 month ago");
    EXPECT_TRUE(engine.data[2]->data.empty()); // "6 months ago": its empty size classes went
    for (const auto& c : engine.data[4]->data)
        for (const auto& f : c->data) {
            if (f->isPackage) {
                EXPECT_EQ(f->size, directorySize(bundle));
            }
        }
    EXPECT_EQ(engine.allCount(), 7);
    EXPECT_TRUE(fileattr::entryInfo(m.t.path("home/Downloads/recent.bin")).exists);
}

TEST_F(OldFiles, LeftoversAreTickedInAdvance) {
    test::makeBundle(m.t, "root/Applications/Editor.app", "com.maker.editor");
    test::makeBundle(m.t, "root/Applications/Safari.app", "com.apple.Safari");
    const std::vector<std::pair<std::string, bool>> cases = {
        {"home/Downloads/setup.exe", true},        // a Windows program
        {"home/Downloads/SETUP2.EXE", false},      // extensions compare as written
        {"home/Downloads/Editor-2.1.dmg", true},   // an installer of an installed application
        {"home/Downloads/editor-setup.pkg", true}, // names compare ignoring case
        {"home/Downloads/Unknown.dmg", false},     // no installed application of that name
        {"home/Downloads/Safari.dmg", false},      // Apple's applications do not count
        // An archive counts as unpacked only when another entry at the top is
        // named like it without its archive extensions; its own entry never does.
        {"home/Downloads/tax-records-2023.zip", false},
        {"home/Downloads/photos-backup.tar.gz", false},
        {"home/Downloads/debian-12.iso", false},
        {"home/Downloads/Photos.zip", true},      // the folder "Photos" lies beside it
        {"home/Downloads/Holiday.tgz", true},     // "holiday": names compare ignoring case
        {"home/Downloads/old/Trip.tar.gz", true}, // "Trip.tar" lies at the top
        {"home/Downloads/old/Notes.zip", false},  // only "Notes 2" and "MyNotes" are there
        {"home/Downloads/report.pdf", false},
    };
    for (const auto& [path, tick] : cases)
        file(path, 6'000'000, 60);
    file("home/Downloads/Trip.tar", 100, 60);
    m.t.dir("home/Downloads/Photos");
    m.t.dir("home/Downloads/holiday");
    m.t.dir("home/Downloads/Notes 2");
    m.t.file("home/Downloads/MyNotes", "x");
    // A copy of an installed application outside the applications folder.
    std::string copy = test::makeBundle(m.t, "home/Downloads/Editor copy.app", "com.maker.editor",
                                        "1", plist::Format::Xml, 6'000'000);
    age(copy, 60);
    scan();
    for (const auto& [path, tick] : cases)
        EXPECT_EQ(ticked(path.substr(path.rfind('/') + 1)), tick) << path;
    EXPECT_TRUE(ticked("Editor copy.app"));
    ASSERT_TRUE(engine.apps);
    EXPECT_EQ(*engine.apps, std::vector<std::string>{"Editor"});
    // Under the applications folder the copy rule never matches.
    EXPECT_FALSE(engine.needCheck(m.root + "/Applications/Editor copy.app", {}));

    std::vector<std::string> selected = engine.getSelectFiles();
    EXPECT_EQ(static_cast<std::int64_t>(selected.size()), [&] {
        std::int64_t n = 0;
        for (const auto& t : engine.data)
            n += t->fileCountWithCheck();
        return n;
    }());
}

// Removal on the disk, in each layout.
class OldFilesInLayout : public test::InLayout, public OldFiles {};

TEST_P(OldFilesInLayout, RemovalTakesTheTickedFilesThatAreStillTheOnesListed) {
    std::string a = file("home/Downloads/a.exe", 6'000'000, 40);
    std::string b = file("home/Downloads/b.exe", 7'000'000, 40);
    std::string kept = file("home/Downloads/kept.bin", 8'000'000, 40);
    std::string vanished = file("home/Downloads/gone.exe", 9'000'000, 40);
    scan();
    ASSERT_EQ(engine.allCount(), 4);
    // Rewritten after the scan: another size and time, so it is left.
    file("home/Downloads/b.exe", 7'500'000, 45);
    ::unlink(vanished.c_str());
    std::vector<std::string> announced;
    ObserverToken token(NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            oldCleanModuleFinsh, [&](const Notification& n) {
                                announced.push_back(std::any_cast<std::string>(n.object));
                            }));

    // What its removal gives back: its blocks, not its length (it is sparse).
    const std::int64_t blocks = test::duBytes({a});
    OldCleanResult result = engine.clean();
    MainQueue::drain();
    EXPECT_EQ(result.fileCount, 1);
    EXPECT_EQ(result.totleSize, blocks);
    EXPECT_FALSE(fileattr::entryInfo(a).exists);
    EXPECT_TRUE(fileattr::entryInfo(b).exists);
    EXPECT_TRUE(fileattr::entryInfo(kept).exists);
    ASSERT_EQ(result.cannotRemovePaths.size(), 1u);
    EXPECT_EQ(result.cannotRemovePaths[0]->path, b);
    EXPECT_EQ(result.cannotRemovePaths[0]->notRemovedReason, "changed since the scan");
    EXPECT_EQ(announced.size(), 3u);
    // What is gone left the lists; what stayed is still listed.
    EXPECT_EQ(engine.allCount(), 2);

    // A stop before the queued removal begins stops it.
    engine.prepareClean();
    engine.cleanStop();
    OldCleanResult stopped = engine.clean();
    EXPECT_EQ(stopped.fileCount, 0);
    EXPECT_TRUE(fileattr::entryInfo(b).exists);
}

INSTANTIATE_TEST_SUITE_P(Layouts, OldFilesInLayout, test::bothLayouts());
