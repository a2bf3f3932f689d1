#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/TempTree.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;

namespace {

// Runs tessaly-cli with the arguments and returns what it printed on standard output.
std::string runCli(const std::string& arguments, int* status) {
    std::string command = std::string(TESSALY_CLI_PATH) + " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    *status = ::pclose(pipe);
    return out;
}

} // namespace

TEST(AppsCommand, ListsTheCatalogueAndTheOtherKindsAsJson) {
    test::TempTree t;
    test::ScopedEnv home("TESSALY_HOME", t.dir("home"));
    test::ScopedEnv root("TESSALY_ROOT", t.dir("root"));
    test::makeBundle(t, "root/Applications/Safari.app", "com.apple.Safari", "9.1");
    test::makeBundle(t, "root/Applications/Foo.app", "com.maker.foo", "1.2");
    test::makeBundle(t, "home/Library/Widgets/Notes.wdgt", "com.maker.notes");

    int status = -1;
    auto apps = nlohmann::json::parse(runCli("apps --json", &status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0]["name"], "Foo");
    EXPECT_EQ(apps[0]["identifier"], "com.maker.foo");
    EXPECT_EQ(apps[0]["version"], "1.2");
    EXPECT_GT(apps[0]["size"].get<std::int64_t>(), 0);
    EXPECT_TRUE(apps[0]["lastUse"].is_string());
    EXPECT_EQ(apps[0]["system"], false);
    EXPECT_EQ(apps[0]["removable"], true);
    EXPECT_EQ(apps[1]["name"], "Safari");
    EXPECT_EQ(apps[1]["system"], true);
    EXPECT_EQ(apps[1]["removable"], false);

    auto other = nlohmann::json::parse(runCli("apps --other --json", &status));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(other["plugins"].empty());
    ASSERT_EQ(other["widgets"].size(), 1u);
    EXPECT_EQ(other["widgets"][0]["name"], "Notes");
    EXPECT_TRUE(other["preferencePanes"].empty());
}
