// tessaly-cli alias: the real binary on fixture folders of links and alias files.
#include "platform/AtomicFile.h"
#include "platform/BookmarkData.h"
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <unistd.h>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

class AliasCommand : public testing::Test {
protected:
    test::FixtureRoots m;
    std::string desktop = m.t.dir("home/Desktop");
    std::string doc = m.t.file("home/Desktop/papers/report.pdf", "r");
    std::string working = m.t.symlink("home/Desktop/report", doc);
    std::string broken = m.t.symlink("home/Desktop/old report", m.t.path("home/Old/report.pdf"));

    std::string aliasFile(const std::string& relative, const std::string& target) {
        auto data = bookmark::makeBookmark(target);
        std::string path = m.t.path(relative);
        m.t.dir(relative.substr(0, relative.rfind('/')));
        EXPECT_TRUE(writeFileAtomically(path, data.data(), data.size()));
        return path;
    }
};

class AliasCommandClean : public test::InLayout, public AliasCommand {};

} // namespace

TEST_P(AliasCommandClean, ScanCleanAndFix) {
    std::string file = aliasFile("home/Desktop/gone alias", m.t.path("home/Old/notes.txt"));
    auto run = cli({"alias", "scan", desktop, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["broken"].size(), 2u);
    ASSERT_EQ(out["working"].size(), 1u);
    EXPECT_EQ(out["working"][0]["path"], working);
    EXPECT_EQ(out["working"][0]["target"], doc);
    EXPECT_EQ(out["working"][0]["checked"], false);
    for (const auto& a : out["broken"]) {
        EXPECT_EQ(a["checked"], true);
        if (a["path"] == broken) { // a file of the target's name lies under the folder
            EXPECT_EQ(a["candidates"], std::vector<std::string>{doc});
        }
    }

    // Repair one, then remove the other broken one; the working alias stays.
    auto fixed = cli({"alias", "fix", broken, doc});
    ASSERT_EQ(fixed.exitCode, 0) << fixed.standardError;
    EXPECT_EQ(cli({"alias", "fix", doc, doc}).exitCode, 2); // not an alias

    auto dry = nlohmann::json::parse(
        cli({"alias", "clean", desktop, "--broken-only", "--json"}).standardOutput);
    ASSERT_EQ(dry["plan"].size(), 1u);
    EXPECT_EQ(dry["plan"][0]["path"], file);
    auto clean = cli({"alias", "clean", desktop, "--broken-only", "--yes"});
    ASSERT_EQ(clean.exitCode, 0) << clean.standardError;
    EXPECT_FALSE(m.t.exists("home/Desktop/gone alias"));
    EXPECT_TRUE(m.t.exists("home/Desktop/old report"));
    EXPECT_TRUE(m.t.exists("home/Desktop/report"));
    EXPECT_EQ(test::readText(doc), "r");
}

TEST_F(AliasCommand, AnAliasThatCannotBeRemovedIsLeftWithExitCode3) {
    std::string file = aliasFile("home/Desktop/held/gone alias", m.t.path("home/Old/x"));
    test::Unremovable lock(file);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    ::unlink(broken.c_str());
    auto run = cli({"--no-helper", "alias", "clean", desktop, "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["left"].size(), 1u);
    EXPECT_EQ(out["left"][0]["path"], file);
    EXPECT_TRUE(m.t.exists("home/Desktop/held/gone alias"));
}

namespace {

class AliasCommandInLayout : public AliasCommand, public testing::WithParamInterface<const char*> {
protected:
    test::ScopedEnv layout{"TESSALY_LAYOUT", GetParam()};
};

std::set<std::string> entriesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

// The new link is made under a name nothing had: a file of the user's that
// carries the alias's name with a suffix is never taken for a leftover of ours.
TEST_P(AliasCommandInLayout, ARepairTouchesNothingButTheAlias) {
    const std::string mine = m.t.file("home/Desktop/old report.tessaly-relink", "my notes\n");
    const std::string alsoMine = m.t.file("home/Desktop/old report.relink", "more notes\n");
    const std::set<std::string> before = entriesOf(desktop);

    auto fixed = cli({"alias", "fix", broken, doc});
    ASSERT_EQ(fixed.exitCode, 0) << fixed.standardError;
    EXPECT_EQ(std::filesystem::read_symlink(broken).string(), doc);
    EXPECT_EQ(test::readText(mine), "my notes\n");
    EXPECT_EQ(test::readText(alsoMine), "more notes\n");
    EXPECT_EQ(entriesOf(desktop), before); // and nothing of ours is left beside it
    EXPECT_EQ(test::readText(doc), "r");
}

INSTANTIATE_TEST_SUITE_P(Layouts, AliasCommandInLayout, testing::Values("macos", "linux"),
                         [](const testing::TestParamInfo<const char*>& layoutName) {
                             return std::string(layoutName.param);
                         });

INSTANTIATE_TEST_SUITE_P(Layouts, AliasCommandClean, test::bothLayouts());
