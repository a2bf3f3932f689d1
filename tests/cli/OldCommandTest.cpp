// tessaly-cli old: the real binary on fixture folders with explicit times.
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

class OldCommand : public testing::Test {
protected:
    test::FixtureRoots m;
    std::string downloads = m.t.dir("home/Downloads");

    std::string file(const std::string& name, off_t size, long days) {
        std::string path = m.t.file("home/Downloads/" + name);
        EXPECT_EQ(::truncate(path.c_str(), size), 0);
        struct timespec when {
            ::time(nullptr) - days * 86400, 0
        };
        struct timespec times[2] = {when, when};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }
};

} // namespace

TEST_F(OldCommand, ScanListsAgeAndSizeClassesAndCleanCarriesOutItsPlan) {
    std::string setup = file("setup.exe", 6'000'000, 40);
    std::string movie = file("movie.mkv", 20'000'000, 800);
    file("fresh.bin", 6'000'000, 5);
    auto run = cli({"old", "scan", downloads, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["ageClasses"].size(), 5u);
    EXPECT_EQ(out["ageClasses"][0]["name"], "2 years ago");
    EXPECT_EQ(out["ageClasses"][0]["sizeClasses"][0]["name"], "10MB - 100MB");
    EXPECT_EQ(out["ageClasses"][0]["sizeClasses"][0]["files"][0]["path"], movie);
    EXPECT_EQ(out["ageClasses"][0]["sizeClasses"][0]["files"][0]["checked"], false);
    const auto& month = out["ageClasses"][4];
    EXPECT_EQ(month["name"], "1 month ago");
    EXPECT_EQ(month["sizeClasses"][0]["files"][0]["path"], setup);
    EXPECT_EQ(month["sizeClasses"][0]["files"][0]["checked"], true);
    EXPECT_EQ(out["totalCount"], 2);

    auto dry = nlohmann::json::parse(cli({"old", "clean", downloads, "--json"}).standardOutput);
    EXPECT_EQ(dry["dryRun"], true);
    ASSERT_EQ(dry["plan"].size(), 1u);
    EXPECT_EQ(dry["plan"][0]["path"], setup);
    EXPECT_TRUE(m.t.exists("home/Downloads/setup.exe"));

    auto clean = cli({"old", "clean", downloads, "--yes"});
    ASSERT_EQ(clean.exitCode, 0) << clean.standardError;
    EXPECT_NE(clean.standardOutput.find("Removed 1 item"), std::string::npos);
    EXPECT_FALSE(m.t.exists("home/Downloads/setup.exe"));
    EXPECT_TRUE(m.t.exists("home/Downloads/movie.mkv"));
    auto status = nlohmann::json::parse(cli({"status", "--json"}).standardOutput);
    EXPECT_FALSE(status["lastCleanDates"]["old-files"].is_null());
}

TEST_F(OldCommand, AFileThatCannotBeRemovedIsLeftWithItsReasonAndExitCode3) {
    std::string stuck = file("held/setup.exe", 6'000'000, 40);
    test::Unremovable lock(stuck);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    auto run = cli({"old", "clean", downloads, "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["left"].size(), 1u);
    EXPECT_EQ(out["left"][0]["path"], stuck);
    EXPECT_NE(out["left"][0]["reason"].get<std::string>().find("permission denied"),
              std::string::npos);
    EXPECT_TRUE(m.t.exists("home/Downloads/held/setup.exe"));
}
