// The Eraser on fixture files: what each pass writes, what goes, what stays.
#include "ScanCode/eraser/ShredderFiles.h"
#include "model/CommonFunction.h"
#include "platform/BookmarkData.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <unistd.h>

using namespace tessaly;

namespace {

// Whether a file holds exactly `size` bytes of 0x01.
bool allOnes(const std::string& path, std::int64_t size) {
    std::string bytes = test::readText(path);
    return static_cast<std::int64_t>(bytes.size()) == size &&
           bytes.find_first_not_of('\x01') == std::string::npos;
}

const PlanItem* planned(const Plan& plan, const std::string& path) {
    for (const PlanItem& p : plan.items)
        if (p.path == path)
            return &p;
    return nullptr;
}

bool mentions(const std::vector<LeftItem>& left, const std::string& path, const std::string& why) {
    for (const LeftItem& l : left)
        if (l.path == path && l.reason.find(why) != std::string::npos)
            return true;
    return false;
}

class Eraser : public testing::Test {
protected:
    test::TempTree t;
    std::mutex mutex;
    std::map<std::string, std::vector<int>> passes; // the passes seen, each checked
    std::vector<std::string> overwrittenByHelper;
    std::vector<std::string> removedByHelper;
    // What the helper stand-in's overwrite answers (it does nothing else).
    std::function<bool(const std::string&)> helperOverwrites = [](const std::string&) {
        return false;
    };
    ShredderFiles engine{[this] {
        ShredderEnvironment env;
        env.afterPass = [this](const std::string& path, int pass) {
            std::lock_guard<std::mutex> guard(mutex);
            auto size = fileattr::entryInfo(path).size;
            EXPECT_TRUE(allOnes(path, size)) << path << " pass " << pass;
            passes[path].push_back(pass);
        };
        env.overwriteAsRoot = [this](const std::string& path, bool* reached) {
            *reached = true;
            overwrittenByHelper.push_back(path);
            return helperOverwrites(path);
        };
        env.removeAsRoot = [this](const std::vector<std::string>& paths,
                                  std::vector<std::string>* notRemoved) {
            removedByHelper.insert(removedByHelper.end(), paths.begin(), paths.end());
            *notRemoved = paths;
            return true;
        };
        return env;
    }()};
};

} // namespace

TEST_F(Eraser, APickedFileIsOverwrittenOnceWithOnesThenRemoved) {
    std::string file = t.sizedFile("picked.bin", 2'500'000, 'S');
    const std::int64_t blocks = test::duBytes({file});
    ShredderResult r = engine.shredderFiles({file});
    MainQueue::drain();
    EXPECT_EQ(passes[file], std::vector<int>{1}); // 2,500,000 bytes of 0x01, never more
    EXPECT_FALSE(fileops::itemExists(file));
    EXPECT_EQ(r.fileCount, 1);
    EXPECT_EQ(r.totleSize, blocks); // what the disk gives back
    EXPECT_TRUE(r.cannotRemovePaths.empty());
}

// Every regular file of a folder is overwritten, whatever it holds (an alias
// file's bookmark data too); links go as links. A picked link is planned and
// counted as removed, never as erased, and a clean counts the picked paths its
// plan lists.
// Removal on the disk, in each layout.
class EraserInLayout : public test::InLayout, public Eraser {};

TEST_P(EraserInLayout, FolderFilesTwiceWhateverTheyHoldLinksAsLinksCountedByPick) {
    std::string a = t.sizedFile("folder/a.txt", 3000, 'a');
    std::string hidden = t.sizedFile("folder/.secret", 5000, 'h');
    std::string deep = t.sizedFile("folder/.cache/deep.db", 7000, 'd');
    std::string target = t.file("elsewhere/keep.txt", "untouched");
    t.symlink("folder/link", target);
    const auto bookmark = bookmark::makeBookmark(target);
    std::string alias = t.file("folder/keep alias", std::string(bookmark.begin(), bookmark.end()));
    std::string pickedLink = t.symlink("picked-link", target);

    engine.setPaths({t.path("folder"), pickedLink});
    ScanSummary scanned = engine.scan({}, {});
    EXPECT_TRUE(scanned.problems.empty());
    const Plan plan = engine.plan();
    ASSERT_EQ(plan.items.size(), 2u);
    const PlanItem* folder = planned(plan, t.path("folder"));
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->action, PlanAction::Erase);
    EXPECT_EQ(folder->note, "4 files overwritten twice, 1 link or special file removed as it is, "
                            "then removed with the folder");
    const PlanItem* link = planned(plan, pickedLink);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->action, PlanAction::Remove);

    EXPECT_EQ(link->size, test::duBytes({pickedLink}));
    // What the clean frees: the files, the folders' own blocks and the links.
    const std::int64_t blocks = test::duBytes({t.path("folder"), pickedLink});
    EXPECT_EQ(folder->size + link->size, blocks);

    CleanOutcome out = engine.clean(plan, {}, {});
    MainQueue::drain();
    for (const auto& f : {a, hidden, deep, alias})
        EXPECT_EQ(passes[f], (std::vector<int>{1, 2})) << f;
    EXPECT_EQ(passes.count(target), 0u);
    EXPECT_FALSE(fileops::itemExists(t.path("folder")));
    EXPECT_FALSE(fileops::itemExists(pickedLink));
    EXPECT_EQ(test::readText(target), "untouched");
    EXPECT_EQ(out.removed, 2); // the two picked paths of the plan
    EXPECT_TRUE(out.left.empty());
    EXPECT_EQ(out.bytes, blocks);
}

// The helper answers that it could not overwrite the file: it is neither
// handed on for removal nor counted, and the folder keeping it stays.
TEST_F(Eraser, AFolderKeepingAFileThatCannotBeErasedStays) {
    std::string gone = t.sizedFile("folder/gone.txt", 100, 'g');
    std::string held = t.sizedFile("folder/locked/held.txt", 100, 'h');
    const std::int64_t goneBlocks = test::duBytes({gone});
    test::Unremovable lock(held);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    ShredderResult r = engine.shredderFiles({t.path("folder")});
    EXPECT_FALSE(fileops::itemExists(gone));
    EXPECT_EQ(test::readText(held), std::string(100, 'h'));
    EXPECT_TRUE(fileops::itemExists(t.path("folder")));
    EXPECT_EQ(overwrittenByHelper, std::vector<std::string>{held});
    EXPECT_TRUE(removedByHelper.empty());
    EXPECT_EQ(r.fileCount, 0); // the picked folder is still there
    EXPECT_EQ(r.totleSize, goneBlocks);
    ASSERT_EQ(r.cannotRemovePaths.size(), 2u); // the file, and the folder that keeps it
}

// An overwrite through the helper that was stopped (a service that still said
// it was done): the file is not removed and not counted.
TEST_F(Eraser, AStoppedOverwriteByTheHelperRemovesNothing) {
    std::string held = t.sizedFile("locked/held.bin", 4000, 'h');
    test::Unremovable lock(held);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    helperOverwrites = [this](const std::string&) {
        engine.stopShrdder();
        return true;
    };
    engine.setPaths({held});
    ASSERT_FALSE(engine.scan({}, {}).stopped);
    CleanOutcome out = engine.clean(engine.plan(), {}, {});
    EXPECT_EQ(overwrittenByHelper, std::vector<std::string>{held});
    EXPECT_TRUE(removedByHelper.empty());
    EXPECT_EQ(out.removed, 0);
    EXPECT_EQ(out.bytes, 0);
    EXPECT_TRUE(out.stopped);
    EXPECT_TRUE(mentions(out.left, held, "stopped"));
    EXPECT_EQ(test::readText(held), std::string(4000, 'h'));
}

// A file with other names is never planned: its contents would live on under
// them. Picked, it is refused with the reason; inside a folder it stays, and
// the folder with it, while the rest of the folder is erased.
TEST_F(Eraser, AFileWithOtherNamesIsNeverPlannedAndStaysWithItsReason) {
    std::string file = t.sizedFile("linked.bin", 100, 'x');
    ASSERT_EQ(::link(file.c_str(), t.path("other-name.bin").c_str()), 0);
    std::string inner = t.sizedFile("folder/shared.bin", 200, 'y');
    ASSERT_EQ(::link(inner.c_str(), t.path("shared-elsewhere.bin").c_str()), 0);
    std::string plain = t.sizedFile("folder/plain.bin", 300, 'p');

    engine.setPaths({file, t.path("folder")});
    ScanSummary scanned = engine.scan({}, {});
    ASSERT_EQ(scanned.problems.size(), 2u);
    EXPECT_EQ(scanned.problems[0].path, file);
    EXPECT_NE(scanned.problems[0].reason.find("other names"), std::string::npos);
    EXPECT_EQ(scanned.problems[1].path, inner);
    const Plan plan = engine.plan();
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].path, t.path("folder"));
    EXPECT_EQ(plan.items[0].size, test::duBytes({plain})); // the file only: the folder stays
    EXPECT_EQ(
        plan.items[0].note,
        "1 file overwritten twice; 1 entry stays (see the problems), and the folder with them");

    CleanOutcome out = engine.clean(plan, {}, {});
    EXPECT_FALSE(fileops::itemExists(plain));
    EXPECT_EQ(test::readText(inner), std::string(200, 'y'));
    EXPECT_EQ(test::readText(t.path("shared-elsewhere.bin")), std::string(200, 'y'));
    EXPECT_EQ(test::readText(file), std::string(100, 'x'));
    EXPECT_TRUE(mentions(out.left, inner, "other names"));
    EXPECT_TRUE(mentions(out.left, t.path("folder"), "keeps what could not be erased"));
    EXPECT_EQ(out.removed, 0);
    EXPECT_TRUE(overwrittenByHelper.empty()); // nothing the helper could do either

    // Handed straight to the erase, the picked file is refused all the same.
    ShredderResult r = engine.shredderFiles({file});
    EXPECT_EQ(r.fileCount, 0);
    EXPECT_EQ(test::readText(file), std::string(100, 'x'));
}

// Inside a picked folder the erase never crosses into another file system (a
// mount, a bind mount): what lies there stays byte for byte, listed with its
// reason, and the folder with it.
TEST_F(Eraser, AFolderIsErasedOnItsOwnFileSystemOnly) {
    std::string mine = t.sizedFile("folder/mine.txt", 500, 'm');
    std::string stick = t.dir("folder/stick");
    std::string bound = t.dir("folder/bound");
    std::string elsewhere = t.sizedFile("other/keep.txt", 600, 'k');
    test::ScopedMount tmpfs(stick);
    if (!tmpfs.ok())
        GTEST_SKIP() << tmpfs.why();
    test::ScopedMount bind(bound, t.path("other"));
    ASSERT_TRUE(bind.ok()) << bind.why();
    std::string onStick = t.sizedFile("folder/stick/photo.jpg", 700, 'p');

    engine.setPaths({t.path("folder")});
    ScanSummary scanned = engine.scan({}, {});
    ASSERT_EQ(scanned.problems.size(), 2u);
    for (const Problem& p : scanned.problems)
        EXPECT_NE(p.reason.find("another file system"), std::string::npos) << p.path;
    const Plan plan = engine.plan();
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].size, test::duBytes({mine})); // the file only: the folder stays

    CleanOutcome out = engine.clean(plan, {}, {});
    EXPECT_FALSE(fileops::itemExists(mine));
    EXPECT_EQ(test::readText(onStick), std::string(700, 'p'));
    EXPECT_EQ(test::readText(elsewhere), std::string(600, 'k'));
    EXPECT_EQ(passes.count(onStick), 0u);
    EXPECT_TRUE(mentions(out.left, stick, "another file system"));
    EXPECT_TRUE(mentions(out.left, bound, "another file system"));
    EXPECT_TRUE(fileops::itemExists(t.path("folder")));
    EXPECT_EQ(out.removed, 0);
}

TEST(EraserPicks, NestedPicksFoldAndSiblingsSharingABeginningStay) {
    EXPECT_EQ(ShredderFiles::foldPicks({"/a/dir", "/a/dir/inner.txt"}),
              std::vector<std::string>{"/a/dir"});
    EXPECT_EQ(ShredderFiles::foldPicks({"/a/dir/inner.txt", "/a/dir"}),
              std::vector<std::string>{"/a/dir"});
    EXPECT_EQ(ShredderFiles::foldPicks({"/a/report", "/a/report-2"}),
              (std::vector<std::string>{"/a/report", "/a/report-2"}));
    EXPECT_EQ(ShredderFiles::foldPicks({"/a/b", "/a/bc/d"}),
              (std::vector<std::string>{"/a/b", "/a/bc/d"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, EraserInLayout, test::bothLayouts());
