#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <cstdio>
#include <filesystem>
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

namespace {

// A fixture machine with Tool (its preferences and caches) and a temporary
// folder of its own.
struct ToolMachine {
    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    test::ScopedEnv root{"TESSALY_ROOT", t.dir("root")};
    test::ScopedEnv tmp{"TMPDIR", t.dir("tmp")};
    std::string tool = test::makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    std::string prefs = t.file("home/Library/Preferences/com.maker.Tool.plist", "prefs");
    std::string cache = t.dir("home/Library/Caches/com.maker.Tool");
    std::string other = t.file("home/Library/Preferences/com.maker.Toolbox.plist", "kept");

    test::CapturedRun cli(std::vector<std::string> arguments) const {
        return test::runCaptured(TESSALY_CLI_PATH, arguments);
    }
};

} // namespace

TEST(AppsCommand, FilesShowsWhatBelongsToOneApplication) {
    ToolMachine m;
    m.t.sizedFile("home/Library/Caches/com.maker.Tool/data", 3000);
    auto run = m.cli({"apps", "files", "Tool", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["identifier"], "com.maker.Tool");
    ASSERT_EQ(out["files"].size(), 3u);
    EXPECT_EQ(out["files"][0]["path"], m.tool); // the bundle first, then by size
    EXPECT_EQ(out["files"][1]["path"], m.cache);
    EXPECT_EQ(out["files"][2]["path"], m.prefs);
    for (const auto& f : out["files"]) {
        EXPECT_EQ(f["kind"], "file");
        EXPECT_EQ(f["checked"], true);
    }
    // By identifier, as text.
    run = m.cli({"apps", "files", "com.maker.Tool"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.standardOutput.find("[x] file  " + m.prefs), std::string::npos)
        << run.standardOutput;
}

TEST(AppsCommand, RemoveListsItsPlanWithoutYesAndCarriesItOutWithIt) {
    ToolMachine m;
    auto dry = m.cli({"apps", "remove", "Tool", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(plan["tool"], "apps");
    EXPECT_EQ(plan["dryRun"], true);
    EXPECT_EQ(plan["plan"].size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(m.tool));

    auto done = m.cli({"apps", "remove", "Tool", "--yes", "--json"});
    ASSERT_EQ(done.exitCode, 0) << done.standardError;
    auto outcome = nlohmann::json::parse(done.standardOutput);
    EXPECT_EQ(outcome["removed"], 3);
    EXPECT_EQ(outcome["bytes"], plan["plannedBytes"]);
    EXPECT_TRUE(outcome["left"].empty());
    for (const std::string& gone : {m.tool, m.prefs, m.cache})
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_TRUE(std::filesystem::exists(m.other));
    EXPECT_TRUE(nlohmann::json::parse(m.cli({"apps", "--json"}).standardOutput).empty());
}

TEST(AppsCommand, ANameThatNamesNothingOrSeveralItemsIsAUsageError) {
    ToolMachine m;
    std::string second = test::makeApp(m.t, "home/Apps/Tool.app", "org.other.Tool", "Tool");
    auto run = m.cli({"apps", "files", "Tool"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find(m.tool), std::string::npos) << run.standardError;
    EXPECT_NE(run.standardError.find(second), std::string::npos) << run.standardError;
    EXPECT_TRUE(run.standardOutput.empty());

    run = m.cli({"apps", "remove", "Nothing", "--yes"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find("Nothing"), std::string::npos);

    // Its path or identifier names one.
    EXPECT_EQ(m.cli({"apps", "files", second}).exitCode, 0);
    EXPECT_EQ(m.cli({"apps", "remove", "org.other.Tool", "com.maker.Tool", "--yes"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_FALSE(std::filesystem::exists(m.tool));
}
