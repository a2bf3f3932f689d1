// tessaly-cli erase: the real binary on fixture files.
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

} // namespace

TEST(EraseCommand, ListsWithoutYesErasesWithItAndSaysWhatStayed) {
    test::FixtureRoots m;
    std::string file = m.t.sizedFile("home/secret.txt", 2000, 's');
    std::string folder = m.t.dir("home/private");
    m.t.sizedFile("home/private/a.txt", 100, 'a');
    std::string target = m.t.file("home/keep.txt", "keep");
    m.t.symlink("home/private/link", target);

    auto dry = cli({"erase", file, folder, "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    ASSERT_EQ(plan["plan"].size(), 2u);
    EXPECT_EQ(plan["plan"][0]["action"], "erase");
    EXPECT_EQ(test::readText(m.t.path("home/secret.txt")), std::string(2000, 's'));

    auto run = cli({"erase", file, folder, "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 3); // the file, the file in the folder, the folder
    EXPECT_FALSE(m.t.exists("home/secret.txt"));
    EXPECT_FALSE(m.t.exists("home/private"));
    EXPECT_EQ(test::readText(m.t.path("home/keep.txt")), "keep");

    EXPECT_EQ(cli({"erase", m.t.path("home/nothing")}).exitCode, 2);

    std::string held = m.t.sizedFile("home/held/file.txt", 100, 'h');
    test::Unremovable lock(held);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    auto partial = cli({"--no-helper", "erase", held, "--yes", "--json"});
    EXPECT_EQ(partial.exitCode, 3) << partial.standardError;
    auto left = nlohmann::json::parse(partial.standardOutput)["left"];
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]["path"], held);
    EXPECT_NE(left[0]["reason"].get<std::string>().find("switched off"), std::string::npos);
    EXPECT_TRUE(m.t.exists("home/held/file.txt"));
}
