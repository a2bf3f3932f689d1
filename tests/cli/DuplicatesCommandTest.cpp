// tessaly-cli duplicates: the real binary on fixture folders.
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

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

// The clean in each layout, whose own videos folder keeps its copy of a film.
class DuplicatesCommandInLayout : public test::InLayout, public DuplicatesCommand {};

} // namespace

TEST_F(DuplicatesCommand, ScanListsGroupsWithTheKeptCopy) {
    auto run = cli({"duplicates", "scan", t.path("scan/a"), t.path("scan/b"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["groups"], 1);
    EXPECT_EQ(out["reclaimable"], test::duBytes({t.path("scan/b/photo copy.jpg")})); // its blocks
    ASSERT_EQ(out["categories"].size(), 6u); // in their fixed order: Media, Picture, ...
    EXPECT_EQ(out["categories"][0]["name"], "Media");
    const auto& pictures = out["categories"][1];
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

    auto missing = cli({"duplicates", "scan", t.path("missing")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.standardError.find("no such folder"), std::string::npos);
    auto file = cli({"duplicates", "scan", t.path("scan/c/small.txt")});
    EXPECT_EQ(file.exitCode, 2);
    EXPECT_NE(file.standardError.find("not a folder"), std::string::npos);
    EXPECT_EQ(cli({"duplicates", "scan"}).exitCode, 2);
}

TEST_P(DuplicatesCommandInLayout, CleanRemovesOnlyWithYesWhatTheDryRunListed) {
    const std::string film(40000, 'f');
    const std::string kept = t.file("home/" + videos() + "/trip.mp4", film);
    t.file("home/Downloads/trip.mp4", film);
    const std::int64_t filmBytes = test::duBytes({t.path("home/Downloads/trip.mp4")});
    const std::string lookAlike = t.file("home/Downloads/trip2.mp4", std::string(40000, 'g'));
    auto media = cli({"duplicates", "clean", t.path("home/Downloads"), t.path("home/" + videos()),
                      "--yes", "--json"});
    ASSERT_EQ(media.exitCode, 0) << media.standardError;
    EXPECT_EQ(nlohmann::json::parse(media.standardOutput)["removed"], 1);
    EXPECT_FALSE(t.exists("home/Downloads/trip.mp4"));
    EXPECT_EQ(test::readText(kept), film);
    EXPECT_EQ(test::readText(lookAlike), std::string(40000, 'g'));

    auto dry = cli({"duplicates", "clean", t.path("scan"), "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto planned = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(planned["dryRun"], true);
    ASSERT_EQ(planned["plan"].size(), 1u);
    EXPECT_EQ(planned["plan"][0]["path"], t.path("scan/b/photo copy.jpg"));
    EXPECT_EQ(planned["plan"][0]["action"], "remove");
    // What removing the copy gives back: its blocks, as du counts them.
    const std::int64_t copy = test::duBytes({t.path("scan/b/photo copy.jpg")});
    EXPECT_EQ(planned["plannedBytes"], copy);
    EXPECT_EQ(planned["removed"], 0);
    EXPECT_TRUE(t.exists("scan/b/photo copy.jpg"));

    auto run = cli({"duplicates", "clean", t.path("scan"), "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["dryRun"], false);
    EXPECT_EQ(out["plan"], planned["plan"]);
    EXPECT_EQ(out["removed"], 1);
    EXPECT_EQ(out["bytes"], copy);
    EXPECT_TRUE(out["left"].empty());
    EXPECT_FALSE(t.exists("scan/b/photo copy.jpg"));
    EXPECT_TRUE(t.exists("scan/a/photo.jpg"));
    EXPECT_TRUE(t.exists("scan/c/small.txt"));

    // The clean is recorded where the home screen and status read it.
    auto status = nlohmann::json::parse(cli({"status", "--json"}).standardOutput);
    EXPECT_FALSE(status["lastCleanDates"]["duplicates"].is_null());
    EXPECT_EQ(status["cleanedTotal"]["bytes"], copy + filmBytes);
}

TEST_F(DuplicatesCommand, HardLinksAreRemovedByEveryNameAndFreeSpaceOnlyWithTheLast) {
    const std::string bytes(20000, 'h');
    t.file("links/a/f.bin", bytes);
    ASSERT_EQ(::link(t.path("links/a/f.bin").c_str(), t.path("links/a/hard.bin").c_str()), 0);
    t.file("links/b/f.bin", bytes);
    auto scan = nlohmann::json::parse(
        cli({"duplicates", "scan", t.path("links"), "--json"}).standardOutput);
    ASSERT_EQ(scan["groups"], 1);
    const auto& copies = scan["categories"][5]["groups"][0]["copies"];
    ASSERT_EQ(copies.size(), 2u); // two files, one of them with two names

    const std::int64_t blocks = test::duBytes({t.path("links/b/f.bin")});
    auto run = cli({"duplicates", "clean", t.path("links"), "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 1);
    EXPECT_EQ(out["bytes"], blocks);
    // Whichever file went, it went by every name; one file is left.
    int names =
        t.exists("links/a/f.bin") + t.exists("links/a/hard.bin") + t.exists("links/b/f.bin");
    EXPECT_TRUE(names == 1 ||
                (names == 2 && t.exists("links/a/f.bin") && t.exists("links/a/hard.bin")));
    EXPECT_EQ(nlohmann::json::parse(
                  cli({"duplicates", "scan", t.path("links"), "--json"}).standardOutput)["groups"],
              0);

    // A file with a name outside the scanned folders frees nothing by going.
    t.file("out/a/g.bin", std::string(20000, 'g'));
    t.file("out/b/g.bin", std::string(20000, 'g'));
    ASSERT_EQ(::link(t.path("out/a/g.bin").c_str(), t.path("elsewhere-g.bin").c_str()), 0);
    ASSERT_EQ(::link(t.path("out/b/g.bin").c_str(), t.path("elsewhere-g2.bin").c_str()), 0);
    auto dry =
        nlohmann::json::parse(cli({"duplicates", "clean", t.path("out"), "--json"}).standardOutput);
    ASSERT_EQ(dry["plan"].size(), 1u);
    EXPECT_EQ(dry["plan"][0]["size"], 0);
    EXPECT_NE(dry["plan"][0]["note"].get<std::string>().find("frees no space"), std::string::npos);
    auto freed = nlohmann::json::parse(
        cli({"duplicates", "clean", t.path("out"), "--yes", "--json"}).standardOutput);
    EXPECT_EQ(freed["removed"], 1);
    EXPECT_EQ(freed["bytes"], 0);
}

TEST_F(DuplicatesCommand, AnyFileNameIsPrintedWithoutLossAndWithoutTerminalControl) {
    const std::string odd = "b/bad\xffname\n\x1b]0;x\x07.jpg";
    t.file("names/a/photo.jpg", std::string(30000, 'n'));
    t.file("names/" + odd, std::string(30000, 'n'));
    auto run = cli({"duplicates", "scan", t.path("names"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    const auto& copy = out["categories"][1]["groups"][0]["copies"][0];
    EXPECT_EQ(copy["path"], t.path("names/b/bad\xef\xbf\xbdname\n\x1b]0;x\x07.jpg"));
    EXPECT_TRUE(copy.contains("pathBytes"));

    auto text = cli({"duplicates", "scan", t.path("names")});
    ASSERT_EQ(text.exitCode, 0) << text.standardError;
    EXPECT_EQ(text.standardOutput.find('\x1b'), std::string::npos);
    EXPECT_NE(
        text.standardOutput.find("$'" + t.path("names/b/bad\\xffname\\n\\e]0;x\\x07.jpg") + "'"),
        std::string::npos)
        << text.standardOutput;
}

TEST_F(DuplicatesCommand, ACopyThatCannotBeRemovedIsLeftWithItsReasonAndExitCode3) {
    test::Unremovable stuck(t.path("scan/b/photo copy.jpg"));
    if (!stuck.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    auto run = cli({"--no-helper", "duplicates", "clean", t.path("scan"), "--yes", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 0);
    ASSERT_EQ(out["left"].size(), 1u);
    EXPECT_EQ(out["left"][0]["path"], t.path("scan/b/photo copy.jpg"));
    EXPECT_NE(out["left"][0]["reason"].get<std::string>().find("permission denied"),
              std::string::npos)
        << out["left"][0]["reason"];
    EXPECT_TRUE(t.exists("scan/b/photo copy.jpg"));
    EXPECT_TRUE(t.exists("scan/a/photo.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DuplicatesCommandInLayout, test::bothLayouts());
