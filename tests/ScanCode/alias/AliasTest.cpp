// The Alias Finder on fixture folders: links and alias files, broken and
// working, what is never found, repair, candidates and removal.
#include "ScanCode/alias/AliasFiles.h"
#include "ScanCode/alias/AliasHelper.h"
#include "platform/AtomicFile.h"
#include "platform/BookmarkData.h"
#include "platform/Dispatch.h"
#include "platform/FileRemoval.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;

namespace {

class Aliases : public testing::Test {
protected:
    test::FixtureRoots m;
    std::vector<std::vector<std::string>> handed;
    AliasHelper engine{
        [this](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
            handed.push_back(paths);
            *notRemoved = paths;
            return true;
        }};

    // An alias file of the macOS layout naming `target`.
    std::string aliasFile(const std::string& relative, const std::string& target) {
        auto data = bookmark::makeBookmark(target);
        std::string path = m.t.path(relative);
        m.t.dir(relative.substr(0, relative.rfind('/')));
        EXPECT_TRUE(writeFileAtomically(path, data.data(), data.size()));
        return path;
    }

    void scan() {
        engine.startSearch({m.t.path("home/Desktop")});
        MainQueue::drain();
    }

    std::vector<std::string> names(bool broken) const {
        std::vector<std::string> out;
        for (const auto& a : engine.alias(broken))
            out.push_back(a->name);
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace

TEST_F(Aliases, BrokenOnesAreTickedWorkingOnesNotAndSomeAreNeverFound) {
    std::string doc = m.t.file("home/Documents/report.pdf", "r");
    m.t.symlink("home/Desktop/report link", doc);
    m.t.symlink("home/Desktop/gone link", m.t.path("home/Documents/gone.pdf"));
    aliasFile("home/Desktop/report alias", doc);
    aliasFile("home/Desktop/gone alias", m.t.path("home/Documents/gone.pdf"));
    // A loop of links is broken and never hangs the scan.
    m.t.symlink("home/Desktop/loop-a", "loop-b");
    m.t.symlink("home/Desktop/loop-b", "loop-a");
    // Damaged bookmark data: an alias that cannot be read is broken.
    std::string damaged = aliasFile("home/Desktop/damaged alias", doc);
    {
        auto bytes = *readWholeFile(damaged, 4096);
        bytes[bytes.size() - 40] ^= 0xff; // the table of contents' magic
        ASSERT_TRUE(writeFileAtomically(damaged, bytes.data(), bytes.size()));
    }
    // Never found: hidden names, aliases inside a package, a package that is an alias.
    m.t.symlink("home/Desktop/.hidden link", m.t.path("home/Documents/gone.pdf"));
    m.t.symlink("home/Desktop/Tool.app/Contents/inside", m.t.path("home/Documents/gone.pdf"));
    m.t.symlink("home/Desktop/Linked.app", m.t.path("home/Documents/gone.app"));
    // Folders are walked; ordinary files are not aliases.
    m.t.symlink("home/Desktop/deeper/nested link", doc);
    m.t.file("home/Desktop/notes.txt", "bookkeeping is not a bookmark, though it begins so");
    m.t.file("home/Desktop/marked.txt", "book....mark....and then plain words");
    scan();

    EXPECT_EQ(names(true), (std::vector<std::string>{"damaged alias", "gone alias", "gone link",
                                                     "loop-a", "loop-b"}));
    EXPECT_EQ(names(false),
              (std::vector<std::string>{"nested link", "report alias", "report link"}));
    for (const auto& a : engine.alias(true)) {
        EXPECT_TRUE(a->isCheck);
        EXPECT_TRUE(a->isInvalid);
    }
    for (const auto& a : engine.alias(false)) {
        EXPECT_FALSE(a->isCheck);
        ASSERT_TRUE(a->orgPath);
        EXPECT_EQ(*a->orgPath, doc);
    }
    EXPECT_EQ(engine.checkStatus(true), 2);
    EXPECT_EQ(engine.checkStatus(false), 0);
    engine.setEnable(true, false);
    EXPECT_EQ(engine.aliasCountWithCheck(), 3);
}

TEST_F(Aliases, ARepairPointsTheAliasAtItsNewTargetAndMovesIt) {
    std::string moved = m.t.file("home/Desktop/archive/report.pdf", "r");
    std::string link = m.t.symlink("home/Desktop/link", m.t.path("home/Documents/report.pdf"));
    std::string file = aliasFile("home/Desktop/alias", m.t.path("home/Documents/report.pdf"));
    scan();
    ASSERT_EQ(engine.breakAliasCount(), 2);
    // Candidates: files under the scanned folders that carry the target's name.
    auto candidates = engine.candidateTargets();
    EXPECT_EQ(candidates[link], std::vector<std::string>{moved});
    EXPECT_EQ(candidates[file], std::vector<std::string>{moved});

    ASSERT_TRUE(engine.fixAlias(link, moved));
    EXPECT_EQ(engine.breakAliasCount(), 1);
    EXPECT_EQ(engine.aliasCount(), 1);
    EXPECT_EQ(aliasfile::target(link), moved);
    EXPECT_TRUE(fileattr::entryInfo(link).isSymlink);
    ASSERT_TRUE(engine.fixAlias(file, moved));
    EXPECT_EQ(engine.breakAliasCount(), 0);
    EXPECT_EQ(engine.aliasCount(), 2);
    EXPECT_FALSE(engine.alias(false).front()->isCheck);
    // The repaired alias file reads back as the new target, and a rescan agrees.
    EXPECT_EQ(aliasfile::target(file), moved);
    scan();
    EXPECT_EQ(engine.breakAliasCount(), 0);
    EXPECT_EQ(engine.aliasCount(), 2);

    // What is not an alias is never rewritten.
    EXPECT_FALSE(engine.fixAlias(m.t.dir("home/Desktop/folder"), moved));
    EXPECT_TRUE(fileattr::entryInfo(m.t.path("home/Desktop/folder")).isDirectory);
}

// Removal on the disk, in each layout.
class AliasesInLayout : public test::InLayout, public Aliases {};

TEST_P(AliasesInLayout, RemovalTakesTheTickedAliasesAndNeverTheirTargets) {
    std::string doc = m.t.file("home/Documents/report.pdf", "keep me");
    std::string working = m.t.symlink("home/Desktop/working", doc);
    std::string broken = m.t.symlink("home/Desktop/broken", m.t.path("home/Documents/gone"));
    std::string ticked = m.t.symlink("home/Desktop/ticked", doc);
    scan();
    for (const auto& a : engine.alias(false))
        a->isCheck = a->path == ticked;
    AliasCleanResult result = engine.clearAlias();
    MainQueue::drain();
    EXPECT_EQ(result.fileCount, 2);
    EXPECT_FALSE(fileops::itemExists(broken));
    EXPECT_FALSE(fileops::itemExists(ticked));
    EXPECT_TRUE(fileops::itemExists(working));
    EXPECT_EQ(test::readText(doc), "keep me");
    EXPECT_EQ(engine.breakAliasCount(), 0);
    EXPECT_EQ(engine.aliasCount(), 1);
    EXPECT_TRUE(handed.empty());
}

TEST(BookmarkData, ReadsTheTargetAndNothingFromDamagedData) {
    auto data = bookmark::makeBookmark("/Users/me/Documents/Report 2026.pdf");
    EXPECT_EQ(bookmark::targetPath(data), "/Users/me/Documents/Report 2026.pdf");
    EXPECT_EQ(bookmark::targetPath(bookmark::makeBookmark("/")), "/");
    // The "book....mark" form of bookmark files states its header size at 16.
    auto markForm = data;
    const std::uint8_t header[] = {'m', 'a', 'r', 'k', 0, 0, 0, 0, 48, 0, 0, 0};
    std::copy(std::begin(header), std::end(header), markForm.begin() + 8);
    EXPECT_EQ(bookmark::targetPath(markForm), "/Users/me/Documents/Report 2026.pdf");

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    } cases[] = {
        {"not bookmark data", [](auto& d) { d[0] = 'B'; }},
        {"cut short", [](auto& d) { d.resize(d.size() / 2); }},
        {"header size beyond the data", [](auto& d) { d[12] = 0xff, d[13] = 0xff; }},
        {"no table", [](auto& d) { d[48] = d[49] = d[50] = d[51] = 0xee; }},
        {"table magic wrong",
         [](auto& d) {
             std::size_t toc = 48 + (d[48] | d[49] << 8);
             d[toc + 4] = 0;
         }},
        {"a table that is its own next one",
         [](auto& d) {
             std::size_t toc = 48 + (d[48] | d[49] << 8);
             d[toc + 12] = d[48], d[toc + 13] = d[49];
             d[toc + 20] = 0x99; // and names no path
         }},
    };
    for (const Case& c : cases) {
        auto damaged = data;
        c.damage(damaged);
        EXPECT_FALSE(bookmark::targetPath(damaged)) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, AliasesInLayout, test::bothLayouts());
