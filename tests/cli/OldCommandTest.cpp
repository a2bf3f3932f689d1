// tessaly-cli old: the real binary on fixture folders with explicit times.
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
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

    std::string file(const std::string& name, off_t size, long days,
                     const std::string& contents = {}) {
        std::string path = m.t.file("home/Downloads/" + name, contents);
        EXPECT_EQ(::truncate(path.c_str(), size), 0);
        struct timespec when {
            ::time(nullptr) - days * 86400, 0
        };
        struct timespec times[2] = {when, when};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }
};

class OldCommandClean : public test::InLayout, public OldCommand {};

} // namespace

TEST_P(OldCommandClean, ScanListsAgeAndSizeClassesAndCleanCarriesOutItsPlan) {
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
    EXPECT_FALSE(status["lastCleanDates"]["old"].is_null());
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

namespace {

// The same commands on a home of each layout.
class OldCommandInLayout : public OldCommand, public testing::WithParamInterface<const char*> {
protected:
    test::ScopedEnv layout{"TESSALY_LAYOUT", GetParam()};

    // A file of `size` bytes that begins with a text of its own, so that what
    // stays can be compared byte for byte; *bytes gets what it holds (without
    // reading it, which would make it look opened now).
    std::string marked(const std::string& name, off_t size, long days,
                       std::string* bytes = nullptr) {
        const std::string mark = "contents of " + name + "\n";
        if (bytes)
            *bytes = mark + std::string(static_cast<std::size_t>(size) - mark.size(), '\0');
        return file(name, size, days, mark);
    }
};

std::vector<std::string> plannedPaths(const nlohmann::json& out) {
    std::vector<std::string> paths;
    for (const auto& step : out["plan"])
        paths.push_back(step["path"]);
    return paths;
}

} // namespace

TEST_P(OldCommandInLayout, AnArchiveIsTakenOnlyWhenItsUnpackedFormLiesBesideIt) {
    // Old archives nobody unpacked here: their own entries are no sign of it.
    std::map<std::string, std::string> kept;
    for (const char* name : {"tax-records-2023.zip", "photos-backup.tar.gz", "debian-12.iso"}) {
        std::string bytes;
        const std::string path = marked(name, 6'000'000, 60, &bytes);
        kept[path] = bytes;
    }
    // Unpacked: its folder lies beside it, and stays.
    std::string unpacked = marked("photos-2019.zip", 6'000'000, 60);
    kept[m.t.file("home/Downloads/photos-2019/img001.jpg", "a photo")] = "a photo";

    // Listed, as old and large files are; only the unpacked one ticked.
    auto scan = cli({"old", "scan", downloads, "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.standardError;
    std::map<std::string, bool> listed;
    const auto found = nlohmann::json::parse(scan.standardOutput);
    for (const auto& age : found["ageClasses"])
        for (const auto& sizeClass : age["sizeClasses"])
            for (const auto& f : sizeClass["files"])
                listed[f["path"]] = f["checked"];
    EXPECT_EQ(listed, (std::map<std::string, bool>{{downloads + "/tax-records-2023.zip", false},
                                                   {downloads + "/photos-backup.tar.gz", false},
                                                   {downloads + "/debian-12.iso", false},
                                                   {unpacked, true}}));

    auto dry = cli({"old", "clean", downloads, "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    EXPECT_EQ(plannedPaths(nlohmann::json::parse(dry.standardOutput)),
              std::vector<std::string>{unpacked});

    auto run = cli({"old", "clean", downloads, "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 1);
    EXPECT_FALSE(m.t.exists("home/Downloads/photos-2019.zip"));
    for (const auto& [path, bytes] : kept)
        EXPECT_EQ(test::readText(path), bytes) << path;
}

// Scanning reads folders and files (a bundle is measured, a file is checked for
// alias data, copies are compared), and none of it may look like the user opened
// them: the next scan would list other files, or keep another copy.
TEST_P(OldCommandInLayout, ScansLeaveWhatTheyReadAsItWasAndAgreeWhenRepeated) {
    marked("report.bin", 6'000'000, 60);
    std::string bundle = m.t.dir("home/Downloads/Tool.app");
    m.t.sizedFile("home/Downloads/Tool.app/Contents/MacOS/Tool", 7'000'000);
    m.t.file("home/Downloads/Tool.app/Contents/Info.plist", "<plist/>");
    m.t.file("home/Downloads/notes.txt", std::string(400, 'n')); // read for alias data
    const std::string copy(20'000, 'c');
    m.t.file("home/Downloads/a/copy.bin", copy);
    m.t.file("home/Downloads/b/copy.bin", copy);

    // Last read long ago, written later: a read now would move the access time
    // (relatime moves it when it is older than the modification or a day old).
    std::map<std::string, long> readDaysAgo{{"report.bin", 70},
                                            {"Tool.app", 70},
                                            {"Tool.app/Contents", 70},
                                            {"Tool.app/Contents/MacOS", 70},
                                            {"Tool.app/Contents/MacOS/Tool", 70},
                                            {"Tool.app/Contents/Info.plist", 70},
                                            {"notes.txt", 70},
                                            {"a/copy.bin", 80},
                                            {"b/copy.bin", 90},
                                            {"a", 70},
                                            {"b", 70},
                                            {"", 70}};
    std::map<std::string, struct timespec> accessed;
    for (const auto& [relative, days] : readDaysAgo) {
        const std::string path = relative.empty() ? downloads : downloads + "/" + relative;
        struct timespec times[2] = {{::time(nullptr) - days * 86400, 0},
                                    {::time(nullptr) - (days - 30) * 86400, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
        accessed[path] = times[0];
    }

    auto json = [&](std::vector<std::string> arguments) {
        auto run = cli(std::move(arguments));
        EXPECT_EQ(run.exitCode, 0) << run.standardError;
        return nlohmann::json::parse(run.standardOutput);
    };
    auto old = json({"old", "scan", downloads, "--json"});
    json({"alias", "scan", downloads, "--json"});
    auto copies = json({"duplicates", "scan", downloads, "--json"});
    EXPECT_EQ(old["totalCount"], 2); // the file and the bundle, last used 40 days ago
    EXPECT_EQ(copies["categories"][5]["groups"][0]["keep"], downloads + "/b/copy.bin");

    EXPECT_EQ(json({"old", "scan", downloads, "--json"}), old);
    EXPECT_EQ(json({"duplicates", "scan", downloads, "--json"}), copies);
    for (const auto& [path, was] : accessed) {
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_atim.tv_sec, was.tv_sec) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, OldCommandInLayout, testing::Values("macos", "linux"),
                         [](const testing::TestParamInfo<const char*>& layoutName) {
                             return std::string(layoutName.param);
                         });

INSTANTIATE_TEST_SUITE_P(Layouts, OldCommandClean, test::bothLayouts());
