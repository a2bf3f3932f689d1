#include "model/FolderWalk.h"
#include "model/CommonFunction.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;

// What removing a folder gives back, against `du -s -B1`: a sparse file counts
// its blocks, folders (an empty one too) and long links count theirs, short
// links none, two names of one file once, and a file whose other name lies
// outside nothing (du counts it, yet removing the folder frees none of it).
TEST(FolderWalk, SizesAreWhatTheDiskGivesBack) {
    test::TempTree t;
    const test::ScopedBlockSize block(t.root());
    test::sparseFile(t, "Caches/app/disk.img", 1LL << 31, 1 << 20, 400 * 1024);
    t.sizedFile("Caches/app/deep/b.bin", 4097);
    t.sizedFile("Caches/.hidden", 10);
    t.sizedFile("Caches/app/empty", 0);
    t.dir("Caches/app/none/deeper");
    t.sizedFile("Caches/Helper.app/Contents/big", 100000); // a package is counted whole
    t.sizedFile("elsewhere/huge.bin", 1 << 20);
    t.symlink("Caches/app/link-to-huge", "../../elsewhere");
    t.symlink("Caches/long", std::string(300, 'L'));
    const std::string pair = t.sizedFile("Caches/pair-1", 9000);
    ASSERT_EQ(::link(pair.c_str(), t.path("Caches/app/pair-2").c_str()), 0);
    const std::string shared = t.sizedFile("Caches/shared", 70000);
    ASSERT_EQ(::link(shared.c_str(), t.path("elsewhere/shared").c_str()), 0);

    const std::int64_t sharedBlocks = test::duBytes({shared});
    ASSERT_GT(sharedBlocks, 0);
    EXPECT_EQ(directorySize(t.path("Caches")), test::duBytes({t.path("Caches")}) - sharedBlocks);
    EXPECT_EQ(directorySize(t.path("Caches/app/none")), test::duBytes({t.path("Caches/app/none")}));
    EXPECT_EQ(itemSize(t.path("Caches/app/disk.img")),
              test::duBytes({t.path("Caches/app/disk.img")}));
    EXPECT_EQ(itemSize(t.path("Caches/app/deep/b.bin")), 2 * block.block());
    EXPECT_EQ(itemSize(t.path("Caches/long")), test::duBytes({t.path("Caches/long")}));
    EXPECT_EQ(itemSize(shared), 0); // its other name keeps the data
    EXPECT_EQ(itemSize(t.path("missing")), 0);
    // A link is never entered: only its own blocks count.
    EXPECT_EQ(directorySize(t.path("Caches/app/link-to-huge")), 0);
    EXPECT_EQ(itemSize(t.path("Caches/app/link-to-huge")), 0);
}

TEST(FolderWalk, DepthFirstFromTheLastPushedFolderAndStoppable) {
    test::TempTree t;
    t.file("r/a/in-a");
    t.file("r/b/in-b");
    t.file("r/z-file");
    t.symlink("r/c", t.path("r/a"));
    std::vector<std::string> pushed, listed; // folders in push order; parents in listing order
    walkFolder(t.path("r"), [&](const WalkEntry& e) {
        std::string parent = paths::lastComponent(e.parentPath());
        if (listed.empty() || listed.back() != parent)
            listed.push_back(parent);
        if (e.isDirectory())
            pushed.push_back(e.name());
        EXPECT_FALSE(parent == "c") << "a link was entered";
        return WalkDecision::Descend;
    });
    ASSERT_EQ(pushed.size(), 2u); // a and b; the link c is not a folder
    EXPECT_EQ(listed, (std::vector<std::string>{"r", pushed[1], pushed[0]}));

    int visits = 0;
    EXPECT_FALSE(walkFolder(t.path("r"), [&](const WalkEntry&) {
        ++visits;
        return WalkDecision::Stop;
    }));
    EXPECT_EQ(visits, 1);
    int cancelledVisits = 0;
    EXPECT_FALSE(walkFolder(
        t.path("r"), [&](const WalkEntry&) { return ++cancelledVisits, WalkDecision::Descend; },
        [&] { return cancelledVisits >= 2; }));
    EXPECT_EQ(cancelledVisits, 2);
    EXPECT_TRUE(walkFolder(t.path("unreadable-or-missing"),
                           [](const WalkEntry&) { return WalkDecision::Descend; }));
}
