#include "model/FolderWalk.h"
#include "model/CommonFunction.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tessaly;

namespace {

// Sets the shared block size for one test.
struct BlockSize {
    explicit BlockSize(std::int32_t b) : old(SettingModel::shareSettingModel().blockSize.load()) {
        SettingModel::shareSettingModel().blockSize = b;
    }
    ~BlockSize() { SettingModel::shareSettingModel().blockSize = old; }
    std::int32_t old;
};

} // namespace

TEST(FolderWalk, SizesCountFilesRoundedAndLinksAsThemselves) {
    BlockSize block(4096);
    test::TempTree t;
    t.sizedFile("Caches/app/a.db", 1);
    t.sizedFile("Caches/app/deep/b.bin", 4097);
    t.sizedFile("Caches/.hidden", 10);
    t.sizedFile("Caches/app/empty", 0);
    t.sizedFile("elsewhere/huge.bin", 1 << 20);
    t.symlink("Caches/app/link-to-huge", t.path("elsewhere"));
    std::string linkTarget = t.path("elsewhere");
    std::int64_t linkSize =
        CommonFunction::getDiskFileSize(static_cast<std::int64_t>(linkTarget.size()));

    EXPECT_EQ(directorySize(t.path("Caches")), 4096 + 8192 + 4096 + 0 + linkSize);
    EXPECT_EQ(itemSize(t.path("Caches/app/deep/b.bin")), 4097); // a single file: logical size
    EXPECT_EQ(itemSize(t.path("missing")), 0);
    EXPECT_EQ(directorySize(t.path("Caches/app/link-to-huge")), 0); // never entered
}

TEST(FolderWalk, PackagesCanCountAsOneItem) {
    BlockSize block(4096);
    test::TempTree t;
    t.sizedFile("Support/data", 10);
    t.sizedFile("Support/Helper.app/Contents/big", 100000);
    t.sizedFile("Support/Kit.framework/lib", 100000);
    t.sizedFile("Support/plain/inner", 10);
    std::int64_t ownEntries =
        CommonFunction::getDiskFileSize(fileattr::entryInfo(t.path("Support/Helper.app")).size) +
        CommonFunction::getDiskFileSize(fileattr::entryInfo(t.path("Support/Kit.framework")).size);

    EXPECT_EQ(directorySize(t.path("Support"), {}, PackageSizing::OwnEntryOnly),
              4096 + 4096 + ownEntries);
    EXPECT_EQ(directorySize(t.path("Support"), {}, PackageSizing::Descend),
              directorySize(t.path("Support")));
    EXPECT_EQ(directorySize(t.path("Support")), 4096 + 4096 + 2 * 102400);
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
