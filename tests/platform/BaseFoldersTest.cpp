// Which freedesktop base folders a cleaner may list and empty, and what is used
// when a variable names one it may not.
#include "platform/BaseFolders.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;
using basefolders::Kind;

TEST(BaseFolders, OnlyAFolderHoldingNothingOfTheUsersOrTheSystemsIsABaseFolder) {
    test::FixtureRoots m;
    m.t.file("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/data/Documents\"\n");
    m.t.dir("home/data/Documents");
    m.t.symlink("home/to-home", m.home);
    m.t.symlink("home/to-usr", m.t.dir("root/usr"));
    struct Case {
        Kind kind;
        std::string folder;
        std::string reason; // part of why it is refused; empty: it is used
    };
    const std::string uid = std::to_string(::getuid());
    const Case cases[] = {
        {Kind::Cache, m.home, "the home folder itself"},
        {Kind::Cache, m.home + "/", "the home folder itself"},
        {Kind::Cache, m.t.root(), "holds the home folder"},
        {Kind::Cache, "/", "the root folder"},
        {Kind::Cache, m.root, "the system root"},
        {Kind::Cache, "/usr", "the system folder /usr"},
        {Kind::Cache, "/etc/xdg", "lies in the system folder /etc"},
        {Kind::Data, m.root + "/var", "the system folder " + m.root + "/var"},
        {Kind::State, m.root + "/var/log/app", "lies in the system folder " + m.root + "/var"},
        {Kind::Cache, "/run/user/" + uid, "the system folder /run/user/" + uid},
        {Kind::Cache, m.home + "/data", "holds the user's folder " + m.home + "/data/Documents"},
        {Kind::Cache, m.home + "/Desktop", "the user's folder " + m.home + "/Desktop"},
        {Kind::Cache, m.home + "/.config", "the settings folder"},
        {Kind::State, m.home + "/.local", "holds the data folder"},
        {Kind::Cache, m.home + "/to-home", "the home folder itself (it leads to " + m.home},
        {Kind::Cache, m.home + "/to-usr/cache", "lies in the system folder " + m.root + "/usr"},
        {Kind::Cache, "relative/cache", "not an absolute path"},
        {Kind::Cache, m.home + "/.cache/..", "not an absolute path free of . and .."},
        {Kind::Cache, m.home + "/.cache", ""},
        {Kind::Cache, m.home + "//.cache/", ""},
        {Kind::Cache, m.home + "/data/Documents/build-cache", ""},
        {Kind::Cache, m.t.path("elsewhere/cache"), ""},
        {Kind::Cache, "/run/user/" + uid + "/cache", ""},
        {Kind::Cache, m.root + "/var/tmp/cache-of-u", ""},
        {Kind::Config, m.home + "/.config", ""},
    };
    for (const Case& c : cases) {
        auto why = basefolders::whyUnsafe(c.kind, c.folder);
        if (c.reason.empty()) {
            EXPECT_FALSE(why) << c.folder << ": " << why.value_or("");
            continue;
        }
        ASSERT_TRUE(why) << c.folder;
        EXPECT_NE(why->find(c.reason), std::string::npos) << c.folder << ": " << *why;
    }
}

TEST(BaseFolders, ARefusedVariableFallsBackToTheDefaultOnlyWhenThatIsSafeToo) {
    test::FixtureRoots m;
    const std::string cache = m.home + "/.cache";
    auto choice = basefolders::choose(Kind::Cache);
    EXPECT_EQ(choice.folder, cache);
    EXPECT_EQ(choice.reason, "");

    test::ScopedEnv set("XDG_CACHE_HOME", m.t.dir("fast/cache"));
    EXPECT_EQ(basefolders::choose(Kind::Cache).folder, m.t.path("fast/cache"));

    test::ScopedEnv home("XDG_CACHE_HOME", m.home);
    choice = basefolders::choose(Kind::Cache);
    EXPECT_EQ(choice.folder, cache);
    EXPECT_EQ(choice.refused, m.home);
    EXPECT_EQ(choice.reason, "XDG_CACHE_HOME is not used as a place to clean: it is the home "
                             "folder itself; the default " +
                                 cache + " is used instead");

    // The default leads to the home folder as well: nothing is used.
    m.t.symlink("home/.cache", m.home);
    choice = basefolders::choose(Kind::Cache);
    EXPECT_EQ(choice.folder, "");
    EXPECT_NE(choice.reason.find("nor is the default " + cache), std::string::npos)
        << choice.reason;
    EXPECT_NE(choice.reason.find("nothing there is cleaned"), std::string::npos) << choice.reason;

    test::ScopedEnv unset("XDG_CACHE_HOME", "");
    choice = basefolders::choose(Kind::Cache);
    EXPECT_EQ(choice.folder, "");
    EXPECT_EQ(choice.refused, cache);
}
