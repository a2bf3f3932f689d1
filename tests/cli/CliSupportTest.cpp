#include "cli/Destructive.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/StatusCommand.h"
#include "model/SettingKeys.h"
#include "platform/UserDefaults.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace tessaly;
using nlohmann::json;

TEST(CliProgress, WritesOnlyWhenEnabledAndClearsItsLine) {
    std::ostringstream quiet;
    {
        cli::ProgressLine line(false, quiet);
        line.update("/Users/x/Library/Caches");
    }
    EXPECT_EQ(quiet.str(), "");

    std::ostringstream tty;
    {
        cli::ProgressLine line(true, tty);
        line.update("scanning /a");
        line.update("scanning /b"); // within the throttle interval: not drawn
    }
    EXPECT_EQ(tty.str(), "\r\033[Kscanning /a\r\033[K");
}

TEST(CliDestructive, DryRunListsWhatWouldGoAndRemovesNothing) {
    std::vector<cli::PlannedRemoval> items{{"/tmp/a", 1500}, {"/tmp/b", -1}};
    std::ostringstream text;
    cli::printDryRun(items, false, text);
    EXPECT_NE(text.str().find("Would remove 2 items"), std::string::npos);
    EXPECT_NE(text.str().find("  /tmp/a  1.5 KB\n"), std::string::npos);
    EXPECT_NE(text.str().find("--yes"), std::string::npos);

    std::ostringstream out;
    cli::printDryRun(items, true, out);
    json j = json::parse(out.str());
    EXPECT_EQ(j["dryRun"], true);
    EXPECT_EQ(j["totalSize"], 1500);
    EXPECT_EQ(j["wouldRemove"][1]["path"], "/tmp/b");
    EXPECT_TRUE(j["wouldRemove"][1]["size"].is_null());

    CLI::App app;
    bool yes = false;
    cli::addYesFlag(app, yes);
    const char* argv[] = {"x", "--yes"};
    app.parse(2, argv);
    EXPECT_TRUE(yes);
}

TEST(CliStatus, ReportsTotalsDatesMemoryAndRecommendations) {
    test::TempTree tree;
    UserDefaults defaults(tree.path("d.plist"));
    Date now = dateFromUnixSeconds(1'800'000'000);
    defaults.setBool(keys::firstRunKey, true);
    defaults.setInteger(keys::totleCleanKey, 2'500'000);
    defaults.setDate(keys::systemLastCleanDateKey, dateFromUnixSeconds(1'800'000'000 - 86400));
    defaults.setDate(keys::lastCleanDate, dateFromUnixSeconds(1'800'000'000 - 15 * 86400));
    json s = cli::statusJson(defaults, MemoryData{100, 300, 300, 300}, now);

    EXPECT_EQ(s["cleanedTotal"]["bytes"], 2'500'000);
    EXPECT_EQ(s["cleanedTotal"]["text"], "2.5 MB");
    EXPECT_EQ(s["lastCleanDates"]["system"], "2027-01-14T08:00:00Z");
    EXPECT_TRUE(s["lastCleanDates"]["alias"].is_null());
    EXPECT_DOUBLE_EQ(s["memory"]["freeRatio"].get<double>(), 0.1);
    EXPECT_EQ(s["memory"]["low"], true);
    EXPECT_EQ(s["home"]["firstRun"], false);
    std::vector<int> tools;
    for (const auto& r : s["home"]["recommendations"])
        tools.push_back(r["tool"].get<int>());
    EXPECT_EQ(tools, (std::vector<int>{4, 8, 5}));
    EXPECT_EQ(s["home"]["recommendations"][1]["info"], "Low Free memory 0.100");
    EXPECT_NE(cli::statusText(s).find("Cleaned total:  2.5 MB"), std::string::npos);

    // Reading the status changes no setting.
    EXPECT_FALSE(UserDefaults(tree.path("e.plist")).hasKey(keys::firstRunKey));
    json fresh = cli::statusJson(UserDefaults(tree.path("e.plist")), std::nullopt, now);
    EXPECT_EQ(fresh["home"]["firstRun"], true);
    EXPECT_TRUE(fresh["memory"].is_null());
}

TEST(CliProgram, ExitCodesAndJsonOutput) {
    test::TempTree home;
    test::ScopedEnv env("TESSALY_HOME", home.root());
    auto run = [](std::vector<std::string> args) {
        return test::runCaptured(TESSALY_CLI_PATH, args);
    };
    auto status = run({"status", "--json"});
    EXPECT_EQ(status.exitCode, 0);
    json j = json::parse(status.standardOutput);
    EXPECT_TRUE(j.contains("home"));
    EXPECT_EQ(status.standardError, ""); // not a terminal: no progress line

    EXPECT_EQ(run({"no-such-command"}).exitCode, 2);
    EXPECT_EQ(run({"status", "--bogus"}).exitCode, 2);
    EXPECT_EQ(run({}).exitCode, 2);
    auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.standardOutput.find("3  partial"), std::string::npos);
    // The status command only reads: no first-run key is written.
    EXPECT_FALSE(home.exists(".config/Tessaly/defaults.plist"));
}
