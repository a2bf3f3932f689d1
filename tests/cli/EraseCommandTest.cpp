// tessaly-cli erase: the real binary on fixture files.
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

class EraseCommand : public test::InLayout, public testing::Test {};

} // namespace

TEST_P(EraseCommand, ListsWithoutYesErasesWithItAndSaysWhatStayed) {
    test::FixtureRoots m;
    std::string file = m.t.sizedFile("home/" + videos() + "/secret.txt", 2000, 's');
    std::string beside = m.t.file("home/" + videos() + "/secret.txt.bak", "beside");
    std::string folder = m.t.dir("home/private");
    m.t.sizedFile("home/private/a.txt", 100, 'a');
    std::string target = m.t.file("home/keep.txt", "keep");
    m.t.symlink("home/private/link", target);

    auto dry = cli({"erase", file, folder, "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    ASSERT_EQ(plan["plan"].size(), 2u);
    EXPECT_EQ(plan["plan"][0]["action"], "erase");
    EXPECT_EQ(test::readText(file), std::string(2000, 's'));

    auto run = cli({"erase", file, folder, "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 2); // the two picked paths the plan lists
    EXPECT_FALSE(m.t.exists("home/" + videos() + "/secret.txt"));
    EXPECT_FALSE(m.t.exists("home/private"));
    EXPECT_EQ(test::readText(beside), "beside");
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

// Both layouts: the Eraser refuses the system's root and folders, the home
// folder, a folder holding it and a mount point with exit 2, changing nothing;
// inside a picked folder it never crosses into another file system.
class EraseGuards : public testing::TestWithParam<const char*> {
protected:
    test::ScopedEnv layout{"TESSALY_LAYOUT", GetParam()};
};

TEST_P(EraseGuards, RefusesTheSystemTheHomeAndMountPointsAndStaysOnItsFileSystem) {
    test::FixtureRoots m;
    const std::string tool = m.t.sizedFile("root/usr/bin/tool", 3000, 't');
    const std::string passwd = m.t.file("root/etc/passwd", "root:x:0:0::/root:/bin/sh\n");
    const std::string report = m.t.file("home/Documents/report.txt", "keep me");
    for (const std::string& refused :
         {m.root, m.root + "/usr", m.root + "/etc", m.home, m.t.root(), m.root + "/"}) {
        auto run = cli({"erase", refused, "--yes"});
        EXPECT_EQ(run.exitCode, 2) << refused;
        EXPECT_NE(run.standardError.find("refusing to erase"), std::string::npos)
            << run.standardError;
    }
    auto home = cli({"erase", m.home, "--json"});
    EXPECT_EQ(home.exitCode, 2);
    EXPECT_NE(home.standardError.find("it is a home folder"), std::string::npos)
        << home.standardError;
    EXPECT_TRUE(home.standardOutput.empty());
    EXPECT_EQ(test::readText(tool), std::string(3000, 't'));
    EXPECT_EQ(test::readText(passwd), "root:x:0:0::/root:/bin/sh\n");
    EXPECT_EQ(test::readText(report), "keep me");

    const std::string projects = m.t.dir("home/Projects");
    m.t.sizedFile("home/Projects/draft.txt", 2000, 'd');
    const std::string stick = m.t.dir("home/Projects/stick");
    test::ScopedMount tmpfs(stick);
    if (!tmpfs.ok())
        GTEST_SKIP() << tmpfs.why();
    const std::string photo = m.t.sizedFile("home/Projects/stick/photo.jpg", 5000, 'p');
    auto mounted = cli({"erase", stick});
    EXPECT_EQ(mounted.exitCode, 2);
    EXPECT_NE(mounted.standardError.find("mounted here"), std::string::npos);

    auto dry = cli({"erase", projects, "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    ASSERT_EQ(plan["plan"].size(), 1u);
    EXPECT_NE(plan["plan"][0]["note"].get<std::string>().find("1 entry stays"), std::string::npos);
    ASSERT_EQ(plan["problems"].size(), 1u);
    EXPECT_EQ(plan["problems"][0]["path"], stick);
    EXPECT_NE(plan["problems"][0]["reason"].get<std::string>().find("another file system"),
              std::string::npos);
    auto text = cli({"erase", projects});
    EXPECT_NE(text.standardOutput.find(stick + ": another file system"), std::string::npos)
        << text.standardOutput;

    auto run = cli({"erase", projects, "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 0);
    EXPECT_FALSE(m.t.exists("home/Projects/draft.txt"));
    EXPECT_EQ(test::readText(photo), std::string(5000, 'p'));
    EXPECT_TRUE(m.t.exists("home/Projects"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, EraseGuards, testing::Values("macos", "linux"));
INSTANTIATE_TEST_SUITE_P(Layouts, EraseCommand, test::bothLayouts());
