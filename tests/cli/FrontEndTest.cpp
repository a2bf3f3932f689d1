// What every command of tessaly-cli shares: how names are typed and printed,
// what an error says, the JSON every scan has in common and the manual page.
#include "cli/Names.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tessaly;
using nlohmann::json;

namespace {

test::CapturedRun runCli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

} // namespace

TEST(CliNames, ModulesAreTypedInEitherSpellingAndSlipsFindTheirName) {
    EXPECT_EQ(cli::commandSpelling("Chrom Cookie"), "chrome-cookie");
    EXPECT_EQ(cli::commandSpelling("Risky Chrom Cookie"), "risky-chrome-cookie");
    EXPECT_EQ(cli::commandSpelling("Broken LoginItems"), "broken-login-items");
    EXPECT_EQ(cli::commandSpelling("User Cache"), "user-cache");
    for (const char* typed : {"chrome-cookie", "chrom-cookie", "Chrom Cookie", "CHROME_COOKIE"})
        EXPECT_TRUE(cli::namesThe(typed, "Chrom Cookie")) << typed;
    for (const char* typed : {"broken-login-items", "broken-loginitems", "Broken LoginItems"})
        EXPECT_TRUE(cli::namesThe(typed, "Broken LoginItems")) << typed;
    EXPECT_FALSE(cli::namesThe("chrome-cookies-all", "Chrom Cookie"));
    EXPECT_FALSE(cli::namesThe("risky-chrome-cookie", "Chrom Cookie"));

    const std::vector<std::string> modules{"user-cache", "user-log", "system-cache", "trash"};
    EXPECT_EQ(cli::nearestName("usr-cache", modules), "user-cache");
    EXPECT_EQ(cli::nearestName("trahs", modules), "trash");
    EXPECT_EQ(cli::nearestName("--jsn", {"--json", "--yes"}), "--json");
    EXPECT_FALSE(cli::nearestName("photos", modules));
}

// In both layouts: the historic and the plain spelling choose a module, help
// lists the plain ones, and whatever goes wrong is said by the program's name,
// with the nearest valid choice.
class CliFrontEnd : public testing::TestWithParam<const char*> {};

TEST_P(CliFrontEnd, ErrorsNameTheProgramAndSuggestTheNearestChoice) {
    test::ScopedEnv layout("TESSALY_LAYOUT", GetParam());
    test::FixtureRoots m;
    struct Case {
        std::vector<std::string> arguments;
        std::string said;
    } cases[] = {
        {{"system", "scan", "--jsn"}, "did you mean \"--json\"?"},
        {{"sytem", "scan"}, "did you mean \"system\"?"},
        {{"system", "scan", "--module", "usr-cache"}, "did you mean \"user-cache\"?"},
        {{"browser", "clean", "--module", "chrome-cooky"}, "did you mean \"chrome-cookie\"?"},
        {{"old", "scan"}, "folders is required"},
        {{"status", "--bogus"}, "--bogus"},
    };
    for (const Case& c : cases) {
        auto run = runCli(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments[0];
        EXPECT_EQ(run.standardError.rfind("tessaly-cli: ", 0), 0u) << run.standardError;
        EXPECT_NE(run.standardError.find(c.said), std::string::npos) << run.standardError;
        EXPECT_EQ(run.standardOutput, "");
    }
    for (const char* spelling : {"chrome-cookie", "chrom-cookie", "Chrom Cookie"}) {
        auto run = runCli({"browser", "clean", "--module", spelling, "--json"});
        EXPECT_EQ(run.exitCode, 0) << spelling << run.standardError;
    }
    EXPECT_EQ(runCli({"system", "scan", "--module", "broken-login-items"}).exitCode, 0);
    EXPECT_NE(runCli({"browser", "clean", "--help"}).standardOutput.find("risky-chrome-cookie"),
              std::string::npos);
    EXPECT_NE(runCli({"system", "clean", "--help"}).standardOutput.find("broken-login-items"),
              std::string::npos);
}

// Every scan document has the same members beside its tool's own, names its
// tool by its command and its modules by name, and counts in whole numbers.
TEST_P(CliFrontEnd, EveryScanSharesOneShape) {
    test::ScopedEnv layout("TESSALY_LAYOUT", GetParam());
    test::FixtureRoots m;
    const std::string folder = m.t.dir("home/scan");
    m.t.sizedFile("home/scan/a.bin", 20000, 'a');
    m.t.sizedFile("home/scan/b.bin", 20000, 'a');
    m.t.symlink("home/scan/gone", m.t.path("home/nothing"));
    struct Case {
        std::vector<std::string> arguments;
        std::string tool, module;
    } cases[] = {
        {{"system", "scan", "--json"}, "system", "Trash"},
        {{"browser", "scan", "--json"}, "browser", "Chrom Cookie"},
        {{"duplicates", "scan", folder, "--json"}, "duplicates", "Other"},
        {{"old", "scan", folder, "--json"}, "old", "1 month ago"},
        {{"alias", "scan", folder, "--json"}, "alias", "Broken aliases"},
        {{"security", "scan", folder, "--json"}, "security", "Virus"},
    };
    for (const Case& c : cases) {
        auto run = runCli(c.arguments);
        ASSERT_EQ(run.exitCode, 0) << c.tool << run.standardError;
        json out = json::parse(run.standardOutput);
        EXPECT_EQ(out["tool"], c.tool);
        for (const char* member : {"totalSize", "totalCount", "checkedSize", "checkedCount"})
            EXPECT_TRUE(out[member].is_number_integer()) << c.tool << " " << member;
        EXPECT_TRUE(out["problems"].is_array()) << c.tool;
        ASSERT_TRUE(out["modules"].is_array()) << c.tool;
        bool named = false;
        std::int64_t count = 0;
        for (const auto& module : out["modules"]) {
            EXPECT_TRUE(module["module"].is_string()) << c.tool;
            named = named || module["module"] == c.module;
            count += module["count"].get<std::int64_t>();
        }
        EXPECT_TRUE(named) << c.tool << " has no module " << c.module;
        EXPECT_EQ(out["totalCount"], count) << c.tool;
    }
    json duplicates = json::parse(runCli({"duplicates", "scan", folder, "--json"}).standardOutput);
    EXPECT_EQ(duplicates["totalCount"], 2);
    EXPECT_EQ(duplicates["checkedCount"], 1);
    json aliases = json::parse(runCli({"alias", "scan", folder, "--json"}).standardOutput);
    EXPECT_EQ(aliases["checkedCount"], 1);

    const std::string picked = m.t.file("home/scratch.txt", "x");
    json erase = json::parse(runCli({"erase", picked, "--json"}).standardOutput);
    EXPECT_EQ(erase["tool"], "erase");
}

INSTANTIATE_TEST_SUITE_P(Layouts, CliFrontEnd, testing::Values("macos", "linux"));

// A name may hold anything but "/" and NUL: an application called to retitle
// the terminal and break its line is printed quoted, in the list and in the
// plan's heading, and reaches JSON whole.
TEST(CliFrontEnd, ApplicationNamesReachTheTerminalQuoted) {
    test::FixtureRoots m;
    const std::string evil = "Evil\x1b]0;pwned\x07\nline";
    const std::string bundle =
        test::makeApp(m.t, "root/Applications/" + evil + ".app", "com.maker.Evil", "Evil");
    const std::string quoted = "$'Evil\\e]0;pwned\\x07\\nline";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"apps"}, std::vector<std::string>{"apps", "remove", bundle}}) {
        auto run = runCli(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.standardError;
        EXPECT_EQ(run.standardOutput.find('\x1b'), std::string::npos) << run.standardOutput;
        EXPECT_EQ(run.standardOutput.find('\x07'), std::string::npos) << run.standardOutput;
        EXPECT_NE(run.standardOutput.find(quoted), std::string::npos) << run.standardOutput;
    }
    json list = json::parse(runCli({"apps", "--json"}).standardOutput);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["name"].get<std::string>().find(evil), 0u);
    EXPECT_TRUE(m.t.exists("root/Applications/" + evil + ".app"));
}

// The manual page is the help text in roff: every command, its options and the
// exit codes.
TEST(CliFrontEnd, TheManualPageComesFromTheHelpText) {
    auto run = runCli({"--man"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    const std::string& page = run.standardOutput;
    EXPECT_EQ(page.rfind(".TH TESSALY\\-CLI 1", 0), 0u);
    for (const char* part :
         {".SS \"system clean\"", ".SS \"security scan\"", ".SS \"alias fix\"", "\\-\\-yes",
          "\\-\\-no\\-helper", ".SH EXIT STATUS", "partial: finished"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    auto help = runCli({"system", "clean", "--help"});
    EXPECT_NE(page.find("scan, then clean everything the scan ticks"), std::string::npos);
    EXPECT_NE(help.standardOutput.find("scan, then clean everything the scan ticks"),
              std::string::npos);
    for (std::size_t at = page.find('\n'); at != std::string::npos; at = page.find('\n', at + 1))
        EXPECT_NE(page[at + 1 < page.size() ? at + 1 : at], '\'') << "a line read as a request";
}
