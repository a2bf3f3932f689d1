// tessaly-cli duplicates: the real binary on fixture folders.
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;
using test::runCaptured;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

class DuplicatesCommand : public testing::Test {
protected:
    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    void SetUp() override {
        t.file("scan/a/photo.jpg", std::string(30000, 'p'));
        t.file("scan/b/photo copy.jpg", std::string(30000, 'p'));
        t.file("scan/b/small.txt", std::string(100, 's'));
        t.file("scan/c/small.txt", std::string(100, 's'));
    }
};

} // namespace

TEST_F(DuplicatesCommand, ScanListsGroupsWithTheKeptCopy) {
    auto run = cli({"duplicates", "scan", t.path("scan/a"), t.path("scan/b"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["groups"], 1);
    EXPECT_EQ(out["reclaimable"], 30000);
    ASSERT_EQ(out["categories"].size(), 6u);
    const auto& pictures = out["categories"][0];
    EXPECT_EQ(pictures["name"], "Picture");
    EXPECT_EQ(pictures["groups"][0]["keep"], t.path("scan/a/photo.jpg"));
    EXPECT_EQ(pictures["groups"][0]["copies"][0]["path"], t.path("scan/b/photo copy.jpg"));
    EXPECT_EQ(pictures["groups"][0]["copies"][0]["remove"], true);

    auto text = cli({"duplicates", "scan", t.path("scan")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.standardOutput.find("keep   " + t.path("scan/a/photo.jpg")), std::string::npos);
    EXPECT_NE(text.standardOutput.find("remove " + t.path("scan/b/photo copy.jpg")),
              std::string::npos);

    // A folder named through a link is walked as the folder itself.
    t.symlink("link", t.path("scan"));
    auto linked = cli({"duplicates", "scan", t.path("link"), "--json"});
    EXPECT_EQ(nlohmann::json::parse(linked.standardOutput)["groups"], 1);

    EXPECT_EQ(cli({"duplicates", "scan", t.path("missing")}).exitCode, 2);
    EXPECT_EQ(cli({"duplicates", "scan"}).exitCode, 2);
}

TEST_F(DuplicatesCommand, CleanRemovesOnlyWithYes) {
    auto dry = cli({"duplicates", "clean", t.path("scan"), "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto planned = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(planned["dryRun"], true);
    ASSERT_EQ(planned["wouldRemove"].size(), 1u);
    EXPECT_TRUE(t.exists("scan/b/photo copy.jpg"));

    auto run = cli({"duplicates", "clean", t.path("scan"), "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 1);
    EXPECT_EQ(out["freed"], 30000);
    EXPECT_FALSE(t.exists("scan/b/photo copy.jpg"));
    EXPECT_TRUE(t.exists("scan/a/photo.jpg"));
    EXPECT_TRUE(t.exists("scan/c/small.txt"));
}
