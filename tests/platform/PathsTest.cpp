#include "platform/Paths.h"
#include "tests/support/TempTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace tessaly;

TEST(Paths, ComponentsAndExtensions) {
    EXPECT_EQ(paths::join("/a/", "/b"), "/a/b");
    EXPECT_EQ(paths::join("/a", "b/c"), "/a/b/c");
    EXPECT_EQ(paths::lastComponent("/x/Foo.app/"), "Foo.app");
    EXPECT_EQ(paths::deletingLastComponent("/x/Foo.app"), "/x");
    EXPECT_EQ(paths::deletingLastComponent("/x"), "/");
    EXPECT_EQ(paths::extension("/r/fr.lproj"), "lproj");
    EXPECT_EQ(paths::extension("/r/.hidden"), "");
    EXPECT_EQ(paths::deletingExtension("en_GB.lproj"), "en_GB");
}

TEST(Paths, HomeAndRootFollowTheFixtureVariables) {
    test::ScopedEnv home("TESSALY_HOME", "/tmp/fixture-home/");
    test::ScopedEnv root("TESSALY_ROOT", "/tmp/fixture-root");
    EXPECT_EQ(paths::homePath(), "/tmp/fixture-home");
    EXPECT_EQ(paths::systemPath("/Library/Logs"), "/tmp/fixture-root/Library/Logs");
    EXPECT_EQ(paths::configDir(), "/tmp/fixture-home/.config/Tessaly");
}

// The test clean-up removes nothing outside a sandbox, whatever the home lookup says.
TEST(TestSandbox, RemovalIsRefusedOutsideIt) {
    struct Case {
        const char* path;
        bool inside;
    } cases[] = {
        {"/tmp/tessaly-test-Ab12Cd/home", true},
        {"/tmp/tessaly-test-Ab12Cd", true},
        {"/home/someone", false},
        {"/", false},
        {"/tmp/tessaly-test-Ab12Cd/../../home/someone", false},
        {"/tmp/tessaly-test-Ab12Cd/..", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tessaly::test::insideTestSandbox(c.path), c.inside) << c.path;

    // A folder of the test's own that is not a sandbox: refused, left whole.
    std::string tmpl = std::filesystem::temp_directory_path() / "tessaly-outside-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string outside = tmpl;
    { std::ofstream(outside + "/kept.txt") << "kept"; }
    EXPECT_THROW(tessaly::test::removeTree(outside), std::logic_error);
    EXPECT_EQ(tessaly::test::readText(outside + "/kept.txt"), "kept");
    std::filesystem::remove_all(outside);
}
