// The Eraser on fixture files: what each pass writes, what goes, what stays.
#include "ScanCode/eraser/ShredderFiles.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/TempTree.h"

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

class Eraser : public testing::Test {
protected:
    test::TempTree t;
    std::mutex mutex;
    std::map<std::string, std::vector<int>> passes; // the passes seen, each checked
    std::vector<std::string> overwrittenByHelper;
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
            return false; // this helper can do nothing
        };
        env.removeAsRoot = [](const std::vector<std::string>& paths,
                              std::vector<std::string>* notRemoved) {
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

TEST_F(Eraser, FolderFilesTwiceHiddenOnesTooLinksAsLinks) {
    std::string a = t.sizedFile("folder/a.txt", 3000, 'a');
    std::string hidden = t.sizedFile("folder/.secret", 5000, 'h');
    std::string deep = t.sizedFile("folder/.cache/deep.db", 7000, 'd');
    std::string target = t.file("elsewhere/keep.txt", "untouched");
    t.symlink("folder/link", target);
    const std::int64_t blocks = test::duBytes({t.path("folder")});
    ShredderResult r = engine.shredderFiles({t.path("folder")});
    MainQueue::drain();
    for (const auto& f : {a, hidden, deep})
        EXPECT_EQ(passes[f], (std::vector<int>{1, 2})) << f;
    EXPECT_FALSE(fileops::itemExists(t.path("folder")));
    EXPECT_EQ(test::readText(target), "untouched");
    EXPECT_EQ(r.fileCount, 4);      // three files and the folder
    EXPECT_EQ(r.totleSize, blocks); // the files, the folders' own blocks and the link
}

TEST_F(Eraser, AFolderKeepingAFileThatCannotBeErasedStays) {
    std::string gone = t.sizedFile("folder/gone.txt", 100, 'g');
    std::string held = t.sizedFile("folder/locked/held.txt", 100, 'h');
    test::Unremovable lock(held);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    ShredderResult r = engine.shredderFiles({t.path("folder")});
    EXPECT_FALSE(fileops::itemExists(gone));
    EXPECT_TRUE(fileops::itemExists(held));
    EXPECT_TRUE(fileops::itemExists(t.path("folder")));
    EXPECT_EQ(overwrittenByHelper, std::vector<std::string>{held});
    EXPECT_EQ(r.fileCount, 1);
    ASSERT_EQ(r.cannotRemovePaths.size(), 2u); // the file, and the folder that keeps it
}

TEST_F(Eraser, AFileWithOtherNamesIsRefusedWithItsReason) {
    std::string file = t.sizedFile("linked.bin", 100, 'x');
    ASSERT_EQ(::link(file.c_str(), t.path("other-name.bin").c_str()), 0);
    ShredderFiles plain{[] {
        ShredderEnvironment env;
        return env; // no helper at all
    }()};
    plain.setPaths({file});
    ASSERT_FALSE(plain.scan({}, {}).stopped);
    CleanOutcome out = plain.clean(plain.plan(), {}, {});
    EXPECT_EQ(out.removed, 0);
    ASSERT_EQ(out.left.size(), 1u);
    EXPECT_NE(out.left[0].reason.find("several hard links"), std::string::npos);
    EXPECT_EQ(test::readText(file), std::string(100, 'x'));
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
