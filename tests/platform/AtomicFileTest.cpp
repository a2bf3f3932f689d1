// An atomic rewrite keeps what the file was: its mode and its owner, so a
// private list stays private; a new file gets the mode asked for.
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

} // namespace

TEST(AtomicFile, ARewriteKeepsTheFilesModeAndOwnerAndANewFileGetsTheGivenMode) {
    test::TempTree t;
    const std::string bytes = "new contents";
    for (unsigned mode : {0600u, 0640u, 0444u, 02750u}) {
        const std::string path = t.file("kept-" + std::to_string(mode), "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(rewriteFileAtomically(path, bytes.data(), bytes.size()));
        EXPECT_EQ(statOf(path).st_mode & 07777, mode);
        EXPECT_EQ(test::readText(path), bytes);
    }
    const std::string fresh = t.path("fresh");
    ASSERT_TRUE(rewriteFileAtomically(fresh, bytes.data(), bytes.size(), nullptr, 0640));
    EXPECT_EQ(statOf(fresh).st_mode & 07777, 0640u);

    // Property lists are written the same way.
    const std::string list = t.file("History.plist");
    ASSERT_EQ(::chmod(list.c_str(), 0600), 0);
    ASSERT_TRUE(
        plist::writeFile(list, PlistValue(PlistValue::Dict{{"k", 1}}), plist::Format::Binary));
    EXPECT_EQ(statOf(list).st_mode & 07777, 0600u);
    EXPECT_EQ(plist::readFile(list)->find("k")->toInteger(), 1);

    // Another user's file keeps its owner (only root may give it back to them).
    if (::geteuid() == 0) {
        const std::string theirs = t.file("theirs", "old");
        ASSERT_EQ(::chown(theirs.c_str(), 4321, 4322), 0);
        ASSERT_EQ(::chmod(theirs.c_str(), 0600), 0);
        ASSERT_TRUE(rewriteFileAtomically(theirs, bytes.data(), bytes.size()));
        const struct stat st = statOf(theirs);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
    }
}
