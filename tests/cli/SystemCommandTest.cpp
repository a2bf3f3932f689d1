// tessaly-cli system scan / clean on a fixture home and system root.
#include "model/CommonFunction.h"
#include "model/StartupSteps.h"
#include "platform/PropertyList.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;

namespace {

struct Machine : test::FixtureRoots {

    Machine() {
        t.sizedFile("home/.Trash/old.zip", 120000);
        t.sizedFile("home/.Trash/notes.txt", 10);
        t.sizedFile("home/Library/Caches/com.maker.app/blob", 40000);
        t.sizedFile("root/Library/Logs/install.log", 800);
        t.dir("home/Library/LaunchAgents");
        plist::writeFile(t.path("home/Library/LaunchAgents/com.maker.gone.plist"),
                         PlistValue(PlistValue::Dict{{"Program", PlistValue("/gone/tool")}}),
                         plist::Format::Xml);
    }
};

test::CapturedRun cli(const std::vector<std::string>& args) {
    return test::runCaptured(TESSALY_CLI_PATH, args);
}

} // namespace

TEST(SystemCommand, ScanPrintsModulesAndItems) {
    Machine m;
    auto run = cli({"system", "scan", "--json", "--details"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    std::map<std::string, nlohmann::json> modules;
    for (const auto& module : out["modules"])
        modules[module["name"]] = module;
    ASSERT_TRUE(modules.count("Trash"));
    EXPECT_EQ(modules["Trash"]["count"], 2);
    EXPECT_EQ(modules["Trash"]["size"], 120010);
    EXPECT_EQ(modules["Trash"]["items"][0]["path"], m.home + "/.Trash/old.zip");
    EXPECT_EQ(modules["Broken LoginItems"]["count"], 1);
    EXPECT_EQ(modules["Broken LoginItems"]["items"][0]["name"], "tool");
    // A folder counts its files' allocated sizes, as in the application.
    EXPECT_EQ(modules["User Cache"]["size"],
              CommonFunction::getDiskFileSize(40000, startup::homeBlockSize()));
    EXPECT_EQ(modules["System Log"]["count"], 1);

    // Only the named modules, by display name or folded.
    run = cli({"system", "scan", "--module", "trash", "--module", "System Log"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find("Trash"), std::string::npos);
    EXPECT_NE(run.standardOutput.find("System Log"), std::string::npos);
    EXPECT_EQ(run.standardOutput.find("User Cache"), std::string::npos);

    run = cli({"system", "scan", "--module", "nonsense"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find("unknown module"), std::string::npos);
    EXPECT_TRUE(m.t.exists("home/.Trash/old.zip"));
}

TEST(SystemCommand, CleanNeedsYesThenRemovesWhatTheScanTicks) {
    Machine m;
    auto dry = cli({"system", "clean", "--module", "Trash", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto planned = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(planned["dryRun"], true);
    EXPECT_EQ(planned["wouldRemove"].size(), 2u);
    EXPECT_EQ(planned["totalSize"], 120010);
    EXPECT_TRUE(m.t.exists("home/.Trash/old.zip"));

    auto run =
        cli({"system", "clean", "--yes", "--module", "Trash", "--module", "broken-loginitems"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find("Removed 3 items"), std::string::npos) << run.standardOutput;
    EXPECT_FALSE(m.t.exists("home/.Trash/old.zip"));
    EXPECT_FALSE(m.t.exists("home/.Trash/notes.txt"));
    EXPECT_TRUE(m.t.exists("home/.Trash"));
    EXPECT_FALSE(m.t.exists("home/Library/LaunchAgents/com.maker.gone.plist"));
    EXPECT_TRUE(m.t.exists("home/Library/Caches/com.maker.app/blob"));
    EXPECT_TRUE(m.t.exists("root/Library/Logs/install.log"));
}
