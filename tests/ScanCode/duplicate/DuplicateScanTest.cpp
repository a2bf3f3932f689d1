// The duplicate scan on fixture trees: what takes part, how copies are grouped
// and ticked, the digests, stopping, and removal.
#include "ScanCode/duplicate/ContentCompare.h"
#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "ScanCode/duplicate/FileDigest.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/KeptList.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <openssl/evp.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;
using test::TempTree;

namespace {

// Bytes that differ from every other call's (a seeded pseudo-random stream).
std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen() & 0xff);
    return s;
}

std::string md5(const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &n, EVP_md5(), nullptr);
    return digest::hex(out, n);
}

class DuplicateScan : public testing::Test {
protected:
    TempTree t;
    DuplicateFile engine;
    std::vector<std::string> posted;
    ObserverToken observer;

    void SetUp() override {
        observer =
            ObserverToken(NotificationCenter::defaultCenter(),
                          NotificationCenter::defaultCenter().addObserver(
                              "", [this](const Notification& n) { posted.push_back(n.name); }));
    }

    void scan(const std::vector<std::string>& folders = {}) {
        engine.listDupFile(folders.empty() ? std::vector<std::string>{t.path("scan")} : folders);
        MainQueue::drain();
    }

    // Every group as its members' paths relative to the tree, kept copy last (or
    // in name order, where the copies differ only in their last-opened dates).
    std::vector<std::vector<std::string>> groups(std::int64_t category = -1,
                                                 bool byName = false) const {
        std::vector<std::vector<std::string>> out;
        for (const auto& info : engine.data) {
            if (category >= 0 && info->module != category)
                continue;
            for (const auto& g : info->dupFiles) {
                std::vector<std::string> paths;
                for (const auto& m : g->array)
                    paths.push_back(m->path.substr(t.root().size() + 1));
                if (byName)
                    std::sort(paths.begin(), paths.end());
                out.push_back(paths);
            }
        }
        return out;
    }

    DuplicateInfoRef category(std::int64_t module) const {
        for (const auto& info : engine.data)
            if (info->module == module)
                return info;
        return nullptr;
    }
};

} // namespace

TEST_F(DuplicateScan, OnlyFilesAboveTheFloorTakePart) {
    t.file("scan/a/exact.bin", std::string(10240, 'e'));
    t.file("scan/b/exact.bin", std::string(10240, 'e'));
    t.file("scan/a/over.bin", std::string(10241, 'o'));
    t.file("scan/b/over.bin", std::string(10241, 'o'));
    scan();
    ASSERT_EQ(engine.data.size(), 6u);
    EXPECT_EQ(groups(-1, true),
              (std::vector<std::vector<std::string>>{{"scan/a/over.bin", "scan/b/over.bin"}}));
}

TEST_F(DuplicateScan, CategoriesAreNeverMixedAndEqualSizesAreNotEqualContents) {
    const std::string picture = noise(20000, 1);
    t.file("scan/pic.jpg", picture);
    t.file("scan/notes.txt", picture); // same bytes, another category, alone in it
    t.file("scan/Pictures/pic.png", picture);
    t.file("scan/other.jpg", noise(20000, 2)); // same size, other bytes
    scan();
    EXPECT_EQ(groups(dupkind::Picture),
              (std::vector<std::vector<std::string>>{{"scan/pic.jpg", "scan/Pictures/pic.png"}}));
    EXPECT_TRUE(groups(dupkind::Document).empty());
}

TEST_F(DuplicateScan, FilesThatAgreeInTheSampledBlocksButDifferElsewhereFormNoGroup) {
    const std::size_t size = 3 * 100000;
    std::string a = noise(size, 3);
    std::string b = a;
    b[50000] ^= 0x5a; // outside the blocks at 0, size/3 and 2 * size/3
    t.file("scan/x/a.mov", a);
    t.file("scan/y/b.mov", b);
    t.file("scan/z/c.mov", a);
    // The sampled digest alone cannot tell them apart...
    EXPECT_EQ(engine.MD5File(t.path("scan/x/a.mov")), engine.MD5File(t.path("scan/y/b.mov")));
    scan();
    // ...the whole contents can: only the true copy is grouped.
    EXPECT_EQ(groups(-1, true),
              (std::vector<std::vector<std::string>>{{"scan/x/a.mov", "scan/z/c.mov"}}));
}

TEST_F(DuplicateScan, ThreeCopiesTickTwoAndKeepThePlainName) {
    const std::string bytes = noise(40000, 4);
    t.file("scan/Desktop/holiday copy.jpg", bytes);
    t.file("scan/holiday.jpg", bytes);
    t.file("scan/Desktop/holiday 2.jpg", bytes);
    scan();
    auto pictures = category(dupkind::Picture);
    ASSERT_TRUE(pictures);
    ASSERT_EQ(pictures->dupFiles.size(), 1u);
    const auto& g = pictures->dupFiles.front();
    ASSERT_EQ(g->count(), 3u);
    EXPECT_EQ(g->array.back()->path, t.path("scan/holiday.jpg"));
    EXPECT_FALSE(g->array.back()->isCheck);
    EXPECT_EQ(g->checkCount(), 2);
    EXPECT_EQ(g->checkSize(), g->noCheckSize());
    // What removing the two copies gives back, as du counts their blocks.
    const std::int64_t copies = test::duBytes({g->array[0]->path, g->array[1]->path});
    EXPECT_GE(copies, 80000);
    EXPECT_EQ(g->noCheckSize(), copies);
    EXPECT_EQ(pictures->allSize(), copies);
    EXPECT_EQ(engine.allFileSizeWithoutCheck(), copies);
    EXPECT_EQ(engine.allCountWithoutCheck(), 3);
    EXPECT_EQ(pictures->orgSize, copies);
    // The category with something in it sorts first, "Other" last.
    EXPECT_EQ(engine.data.front()->module, dupkind::Picture);
    EXPECT_EQ(engine.data.back()->module, dupkind::Other);
}

TEST_F(DuplicateScan, HiddenFilesAndLinksSkippedHiddenBundlesComparedWhole) {
    const std::string bytes = noise(30000, 5);
    t.file("scan/a/.secret.bin", bytes);
    t.file("scan/b/.secret.bin", bytes);
    t.symlink("scan/a/link.bin", t.path("scan/b/.secret.bin"));
    t.symlink("scan/b/link.bin", t.path("scan/b/.secret.bin"));
    for (const char* bundle : {"scan/a/.Tool.app", "scan/b/Tool.app"}) {
        t.file(std::string(bundle) + "/Contents/MacOS/tool", noise(20000, 6));
        t.file(std::string(bundle) + "/Contents/Info.plist", noise(5000, 7));
    }
    scan();
    EXPECT_EQ(groups(),
              (std::vector<std::vector<std::string>>{{"scan/a/.Tool.app", "scan/b/Tool.app"}}));
    auto packages = category(dupkind::Package);
    ASSERT_TRUE(packages && packages->dupFiles.size() == 1);
    EXPECT_TRUE(packages->dupFiles.front()->array.front()->isPackage);
}

TEST_F(DuplicateScan, BundlesThatDifferInAnyFileAreNotCopies) {
    for (const char* bundle : {"scan/a/Tool.app", "scan/b/Tool.app"}) {
        t.file(std::string(bundle) + "/Contents/MacOS/tool", noise(20000, 6));
        t.file(std::string(bundle) + "/Contents/Resources/.cache", "same size x");
    }
    t.file("scan/b/Tool.app/Contents/Resources/.cache", "same size y");
    scan();
    EXPECT_TRUE(groups().empty());
}

TEST_F(DuplicateScan, HardLinksAreOneFile) {
    const std::string bytes = noise(30000, 8);
    t.file("scan/a/one.pdf", bytes);
    ASSERT_EQ(::link(t.path("scan/a/one.pdf").c_str(), t.path("scan/b-one.pdf").c_str()), 0);
    scan();
    EXPECT_TRUE(groups().empty());
    t.file("scan/c/copy.pdf", bytes);
    scan();
    ASSERT_EQ(groups().size(), 1u);
    EXPECT_EQ(groups().front().size(), 2u);
}

TEST_F(DuplicateScan, SampledDigestsAreExact) {
    const std::string big = noise(100001, 9);
    t.file("big.bin", big);
    const std::int64_t step = 100001 / 3;
    EXPECT_EQ(engine.MD5File(t.path("big.bin")),
              md5(big.substr(0, 4096) + big.substr(step, 4096) + big.substr(2 * step, 4096)));
    const std::string small = noise(3000, 10);
    t.file("small.bin", small);
    EXPECT_EQ(engine.MD5File(t.path("small.bin")), md5(small)); // one block, whole
    const std::string mid = noise(6000, 11);                    // two blocks at 0 and 3000
    t.file("mid.bin", mid);
    EXPECT_EQ(engine.MD5File(t.path("mid.bin")), md5(mid.substr(0, 4096) + mid.substr(3000)));
    const std::string three = noise(15000, 14); // three blocks, read at once
    t.file("three.bin", three);
    EXPECT_EQ(engine.MD5File(t.path("three.bin")),
              md5(three.substr(0, 4096) + three.substr(5000, 4096) + three.substr(10000, 4096)));
    t.file("empty.bin", "");
    EXPECT_FALSE(engine.MD5File(t.path("empty.bin")));
    EXPECT_FALSE(engine.MD5File(t.path("missing.bin")));

    // Identical bundles get the same digest whatever order their files were made in.
    t.file("one.app/b", noise(9000, 12));
    t.file("one.app/a", noise(8000, 13));
    t.file("two.app/a", noise(8000, 13));
    t.file("two.app/.DS_Store", "only here");
    t.file("two.app/b", noise(9000, 12));
    EXPECT_EQ(engine.MD5Dir(t.path("one.app")), engine.MD5Dir(t.path("two.app")));
    EXPECT_NE(digest::bundleContentDigest(t.path("one.app")),
              digest::bundleContentDigest(t.path("two.app")));
}

TEST(ContentCompare, SplitsIntoClassesOfEqualBytes) {
    TempTree t;
    const std::size_t size = 3'000'000; // several chunks
    const std::string a = noise(size, 20);
    std::string b = a;
    b[size - 1] ^= 1;
    std::vector<std::string> paths{t.file("0", a),   t.file("1", b),
                                   t.file("2", a),   t.file("3", noise(size, 21)),
                                   t.file("4", b),   t.file("5", a.substr(0, size - 1)),
                                   t.path("missing")};
    EXPECT_EQ(partitionByContents(paths, static_cast<std::int64_t>(size)),
              (std::vector<std::vector<std::size_t>>{{0, 2}, {1, 4}}));
    EXPECT_TRUE(
        partitionByContents(paths, static_cast<std::int64_t>(size), [] { return true; }).empty());
}

TEST_F(DuplicateScan, AStoppedScanLeavesSixEmptyCategoriesAndStillReports) {
    for (int i = 0; i < 40; ++i)
        t.file("scan/d" + std::to_string(i % 2) + "/f" + std::to_string(i / 2) + ".txt",
               std::string(10241 + i / 2, 'a'));
    // Hold the scan where it waits for the digests, and stop it there.
    engine.group.enter();
    std::thread worker([this] { engine.listDupFile({t.path("scan")}); });
    bool walked = false, finished = false;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    ObserverToken paths(
        center, center.addObserver(duplicatePathScanModuleFinsh, [&](const Notification& n) {
            walked = std::any_cast<std::string>(n.object) == kCompareFileMD5;
        }));
    ObserverToken end(center,
                      center.addObserver(duplicateScanModuleFinsh, [&](const Notification& n) {
                          auto done = std::any_cast<PlistValue::Dict>(n.object);
                          finished = done.size() == 6 && done["5"].toBool();
                      }));
    EXPECT_TRUE(MainQueue::runUntil([&] { return walked; }, std::chrono::seconds(120)));
    engine.stopList();
    engine.group.leave();
    EXPECT_TRUE(MainQueue::runUntil([&] { return finished; }, std::chrono::seconds(120)));
    worker.join();
    EXPECT_TRUE(engine.bFinish());
    ASSERT_EQ(engine.data.size(), 6u);
    for (const auto& info : engine.data)
        EXPECT_TRUE(info->dupFiles.empty());

    // The same folders without a stop: twenty groups.
    scan();
    EXPECT_EQ(groups().size(), 20u);

    // A stop between a screen's prepareScan and the queued scan still counts.
    engine.prepareScan();
    engine.stopList();
    scan();
    EXPECT_TRUE(groups().empty());
    EXPECT_EQ(engine.data.size(), 6u);
    scan(); // a scan that was not prepared clears an old stop
    EXPECT_EQ(groups().size(), 20u);
}

// Removal on the disk, in each layout.
class DuplicateScanInLayout : public test::InLayout, public DuplicateScan {};

TEST_P(DuplicateScanInLayout, RemovalTakesTheTickedCopiesAndDropsSpentGroups) {
    const std::string one = noise(20000, 30), two = noise(25000, 31);
    t.file("scan/a/report.pdf", one);
    t.file("scan/b/report copy.pdf", one);
    for (const char* p : {"scan/song.mp3", "scan/x/song 1.mp3", "scan/y/song 2.mp3"})
        t.file(p, two);
    scan();
    ASSERT_EQ(groups().size(), 2u);
    // Keep one of the three songs' ticked copies.
    auto media = category(dupkind::Media);
    media->dupFiles.front()->array.front()->isCheck = false;
    const std::string untickedSong = media->dupFiles.front()->array.front()->path;
    posted.clear();

    // What the two removed copies give back, as du counts their blocks.
    std::vector<std::string> removed = {t.path("scan/b/report copy.pdf")};
    for (const auto& m : media->dupFiles.front()->array)
        if (m->isCheck && m != media->dupFiles.front()->array.back())
            removed.push_back(m->path);
    ASSERT_EQ(removed.size(), 2u);
    const std::int64_t blocks = test::duBytes(removed);
    DupCleanResult r = engine.clear();
    MainQueue::drain();
    EXPECT_EQ(r.fileCount, 2);
    EXPECT_EQ(r.totleSize, blocks);
    EXPECT_TRUE(r.cannotRemovePaths.empty());
    EXPECT_FALSE(t.exists("scan/b/report copy.pdf"));
    EXPECT_TRUE(t.exists("scan/a/report.pdf"));
    EXPECT_TRUE(fileops::itemExists(untickedSong));
    EXPECT_TRUE(t.exists("scan/song.mp3"));
    // The pair is spent; the songs keep their two copies.
    EXPECT_EQ(groups(), (std::vector<std::vector<std::string>>{
                            {untickedSong.substr(t.root().size() + 1), "scan/song.mp3"}}));
    EXPECT_EQ(media->orgSize, test::duBytes({untickedSong})); // what its one copy frees
    EXPECT_NE(std::find(posted.begin(), posted.end(), duplicateCleanModuleFinsh), posted.end());
}

TEST_F(DuplicateScan, AStopBeforeTheQueuedRemovalBeginsStopsItAndNotTheNext) {
    const std::string bytes = noise(20000, 35);
    t.file("scan/a/report.pdf", bytes);
    t.file("scan/b/report copy.pdf", bytes);
    scan();
    ASSERT_EQ(groups().size(), 1u);

    engine.prepareClear(); // the screen, before handing clear to a queue
    engine.stopClear();    // the user presses Stop at once
    DupCleanResult stopped = engine.clear();
    EXPECT_EQ(stopped.fileCount, 0);
    EXPECT_TRUE(t.exists("scan/b/report copy.pdf"));
    EXPECT_EQ(groups().size(), 1u);

    DupCleanResult next = engine.clear();
    EXPECT_EQ(next.fileCount, 1);
    EXPECT_FALSE(t.exists("scan/b/report copy.pdf"));
    EXPECT_TRUE(t.exists("scan/a/report.pdf"));
}

TEST_F(DuplicateScan, RemovalLeavesCopiesThatChangedOrLostTheirKeptCopy) {
    const std::string bytes = noise(20000, 40), other = noise(30000, 41);
    t.file("scan/a/keep.doc", bytes);
    t.file("scan/b/keep copy.doc", bytes);
    t.file("scan/a/plan.txt", other);
    t.file("scan/b/plan copy.txt", other);
    t.file("scan/a/last.txt", noise(40000, 42));
    t.file("scan/b/last copy.txt", noise(40000, 42));
    scan();
    ASSERT_EQ(groups().size(), 3u);
    // Edited after the scan (same size, new contents and time).
    t.file("scan/b/keep copy.doc", noise(20000, 43));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000, 0}};
    ::utimensat(AT_FDCWD, t.path("scan/b/keep copy.doc").c_str(), times, 0);
    // The copy to keep is gone.
    ::unlink(t.path("scan/a/plan.txt").c_str());
    // Every copy ticked: the last one stays all the same.
    for (const auto& info : engine.data)
        for (const auto& g : info->dupFiles)
            if (g->array.back()->path == t.path("scan/a/last.txt"))
                for (const auto& m : g->array)
                    m->isCheck = true;

    DupCleanResult r = engine.clear();
    EXPECT_EQ(r.fileCount, 1);
    EXPECT_TRUE(t.exists("scan/b/keep copy.doc"));
    EXPECT_TRUE(t.exists("scan/b/plan copy.txt"));
    EXPECT_TRUE(t.exists("scan/a/last.txt"));
    EXPECT_FALSE(t.exists("scan/b/last copy.txt"));
    ASSERT_EQ(r.cannotRemovePaths.size(), 3u);
    for (const auto& m : r.cannotRemovePaths) {
        EXPECT_TRUE(m->cannotRemoved);
        EXPECT_FALSE(m->notRemovedReason.empty()) << m->path;
        EXPECT_FALSE(m->isCheck);
    }
}

// Rewrites a file in place (same inode, same size) and puts its modification
// time back as it was: only the status-change time shows the edit.
void rewriteKeepingSizeAndTime(const std::string& path, const std::string& bytes) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_EQ(static_cast<off_t>(bytes.size()), before.st_size);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a later change time
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
}

TEST_F(DuplicateScan, ACopyEditedSinceTheComparisonIsNeverRemovedNorAnyCopyOfAnEditedKeptOne) {
    const std::string one = noise(20000, 50), two = noise(30000, 51);
    const std::string keepOne = t.file("scan/a/notes.doc", one);
    const std::string editedCopy = t.file("scan/b/notes copy.doc", one);
    const std::string editedKept = t.file("scan/a/plan.doc", two);
    const std::string copyOfEdited = t.file("scan/b/plan copy.doc", two);
    scan();
    ASSERT_EQ(groups().size(), 2u);
    // The ticked copy, and the copy that was to be kept, now hold other bytes.
    const std::string newOne = noise(20000, 52), newTwo = noise(30000, 53);
    rewriteKeepingSizeAndTime(editedCopy, newOne);
    rewriteKeepingSizeAndTime(editedKept, newTwo);

    DupCleanResult r = engine.clear();
    EXPECT_EQ(r.fileCount, 0);
    EXPECT_EQ(r.totleSize, 0);
    EXPECT_EQ(test::readText(editedCopy), newOne);
    EXPECT_EQ(test::readText(keepOne), one);
    EXPECT_EQ(test::readText(editedKept), newTwo);
    EXPECT_EQ(test::readText(copyOfEdited), two);
    std::map<std::string, std::string> reasons;
    for (const auto& m : r.cannotRemovePaths)
        reasons[m->path] = m->notRemovedReason;
    EXPECT_EQ(reasons, (std::map<std::string, std::string>{
                           {editedCopy, "changed since the scan"},
                           {copyOfEdited, "the copy that was to be kept is gone or changed"}}));
}

TEST_F(DuplicateScan, AfterThePrivilegedPassOnlyWhatIsGoneCounts) {
    const std::string bytes = noise(20000, 50);
    for (const char* p : {"scan/a.bin", "scan/b/a.bin", "scan/c/a.bin", "scan/d/a.bin"})
        t.file(p, bytes);
    scan();
    auto other = category(dupkind::Other);
    ASSERT_EQ(other->dupFiles.size(), 1u);
    auto g = other->dupFiles.front();
    ASSERT_EQ(g->count(), 4u);
    // Three ticked copies the ordinary removal could not take.
    DupCleanResult r;
    for (std::size_t i = 0; i < 3; ++i) {
        g->array[i]->cannotRemoved = true;
        r.cannotRemovePaths.push_back(g->array[i]);
    }
    const std::string reported = g->array[0]->path; // the helper says it is still there
    const std::string present = g->array[1]->path;  // not reported, but still there
    const std::string gone = g->array[2]->path;
    const std::int64_t blocks = test::duBytes({gone});
    ::unlink(gone.c_str());
    ::unlink(reported.c_str());
    engine.reomoveSystemObject(r, {reported});
    EXPECT_EQ(r.fileCount, 1);
    EXPECT_EQ(r.totleSize, blocks);
    EXPECT_EQ(r.cannotRemovePaths.size(), 2u);
    EXPECT_EQ(g->count(), 3u);
    EXPECT_TRUE(fileops::itemExists(present));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DuplicateScanInLayout, test::bothLayouts());

// A kept file is never offered as a copy, nor a bundle holding one; its
// look-alike is.
TEST_P(DuplicateScanInLayout, WhatTheUserKeepsIsNeverOffered) {
    const std::string one = noise(20000, 40), two = noise(30000, 41);
    t.file("scan/a/model.bin", one);
    t.file("scan/kept/model.bin", one);
    t.file("scan/kept2/model.bin", one); // a look-alike of the kept folder's name
    t.file("scan/Tool.app/Contents/data", two);
    t.file("scan/Tool 2.app/Contents/data", two);
    test::KeptList kept({t.path("scan/kept"), t.path("scan/Tool.app/Contents/data")});
    scan();
    EXPECT_EQ(groups(-1, true), (std::vector<std::vector<std::string>>{
                                    {"scan/a/model.bin", "scan/kept2/model.bin"}}));
}
