#include "cli/Destructive.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/StatusCommand.h"
#include "cli/ToolDriver.h"
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

TEST(CliOutput, PlanJsonKeepsCategoryOrderAndSizesAsIntegersOrNull) {
    Plan plan;
    PlanItem a;
    a.category = "Trash";
    a.categoryOrder = 8;
    a.path = "/tmp/a";
    a.size = 1500;
    PlanItem b;
    b.category = "Binary";
    b.categoryOrder = 10;
    b.path = "/tmp/App.app/Contents/MacOS/App";
    b.action = PlanAction::Thin;
    PlanItem c = a;
    c.category = "User Cache";
    c.categoryOrder = 5;
    c.path = "/tmp/c";
    c.action = PlanAction::Replace;
    c.replacement = "/tmp/c@2x";
    plan.items = {a, b, c};
    json j = cli::planJson(plan);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["category"], "User Cache");
    EXPECT_EQ(j[0]["action"], "replace");
    EXPECT_EQ(j[0]["replacement"], "/tmp/c@2x");
    EXPECT_EQ(j[1]["path"], "/tmp/a");
    EXPECT_TRUE(j[1]["size"].is_number_integer());
    EXPECT_EQ(j[2]["action"], "thin");
    EXPECT_TRUE(j[2]["size"].is_null());
    EXPECT_EQ(plan.bytes(), 3000);

    CLI::App app;
    bool yes = false;
    cli::addYesFlag(app, yes);
    const char* argv[] = {"x", "--yes"};
    app.parse(2, argv);
    EXPECT_TRUE(yes);
}

TEST(CliOutput, NamesReachTheTerminalQuotedAndJsonWithoutLoss) {
    struct Case {
        std::string name, shown;
    } cases[] = {
        {"/home/me/Fotos/été.jpg", "/home/me/Fotos/été.jpg"},
        {"/tmp/a b's", "/tmp/a b's"},
        {"/tmp/new\nline", "$'/tmp/new\\nline'"},
        {"/tmp/\x1b]0;pwned\x07", "$'/tmp/\\e]0;pwned\\x07'"},
        {"/tmp/bad\xff'", "$'/tmp/bad\\xff\\''"},
        {"/tmp/c1\xc2\x9b", "$'/tmp/c1\\xc2\\x9b'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli::shown(c.name), c.shown) << c.name;

    const std::string bad = "/tmp/bad\xffname";
    std::ostringstream out;
    cli::printJson({{"path", bad}, {"paths", {"/ok", bad}}, {"size", 3}}, out);
    json j = json::parse(out.str());
    EXPECT_EQ(j["path"], "/tmp/bad\xef\xbf\xbdname");
    EXPECT_EQ(j["pathBytes"], "L3RtcC9iYWT/bmFtZQ==");
    EXPECT_TRUE(j["pathsBytes"][0].is_null());
    EXPECT_EQ(j["pathsBytes"][1], "L3RtcC9iYWT/bmFtZQ==");
    EXPECT_FALSE(j.contains("sizeBytes"));
    EXPECT_TRUE(cli::isValidUtf8("plain é"));
    EXPECT_FALSE(cli::isValidUtf8("\xc0\xaf")); // overlong
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
    EXPECT_EQ(j["layout"], "macos");     // as the tests choose
    EXPECT_EQ(status.standardError, ""); // not a terminal: no progress line
    {
        // A Linux home: the layout is said, and modules it has no place for are
        // not offered.
        test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
        EXPECT_NE(run({"status"}).standardOutput.find("Home layout:    linux"), std::string::npos);
        auto linuxHelp = run({"system", "scan", "--module", "binary"});
        EXPECT_EQ(linuxHelp.exitCode, 2);
        EXPECT_EQ(linuxHelp.standardError.find("binary,"), std::string::npos)
            << linuxHelp.standardError;
        EXPECT_NE(linuxHelp.standardError.find("user-cache"), std::string::npos);
    }

    EXPECT_EQ(run({"no-such-command"}).exitCode, 2);
    auto typo = run({"sytem", "scan"});
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_NE(typo.standardError.find("unknown command \"sytem\""), std::string::npos)
        << typo.standardError;
    EXPECT_EQ(run({"status", "-v", "--json"}).exitCode, 0); // -v after the command too
    auto moduleHelp = run({"system", "scan", "--help"});
    EXPECT_NE(moduleHelp.standardOutput.find("user-cache"), std::string::npos);
    EXPECT_EQ(run({"status", "--bogus"}).exitCode, 2);
    EXPECT_EQ(run({}).exitCode, 2);
    auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.standardOutput.find("3  partial"), std::string::npos);
    // The status command only reads: no first-run key is written.
    EXPECT_FALSE(home.exists(".config/Tessaly/defaults.plist"));
}

// What status says on each layout, and how a clean from the terminal ends the
// first run as the window's home screen does.
class CliStatusInLayout : public testing::TestWithParam<const char*> {};

TEST_P(CliStatusInLayout, NamesItsComputerAndACleanEndsTheFirstRun) {
    const std::string layout = GetParam();
    test::ScopedEnv chosen("TESSALY_LAYOUT", layout);
    test::FixtureRoots m;
    auto run = [](std::vector<std::string> args) {
        return test::runCaptured(TESSALY_CLI_PATH, args);
    };
    auto first = run({"status", "--json"});
    ASSERT_EQ(first.exitCode, 0) << first.standardError;
    json before = json::parse(first.standardOutput);
    EXPECT_EQ(before["home"]["firstRun"], true);
    const std::string text = run({"status"}).standardOutput + before.dump();
    EXPECT_EQ(text.find("Mac") != std::string::npos, layout == "macos") << text;
    EXPECT_EQ(text.find("MAC") == std::string::npos, true) << text;

    const std::string picked = m.t.file("home/scratch.txt", "old notes");
    auto erase = run({"erase", picked, "--yes"});
    ASSERT_EQ(erase.exitCode, 0) << erase.standardError;
    EXPECT_FALSE(m.t.exists("home/scratch.txt"));
    json after = json::parse(run({"status", "--json"}).standardOutput);
    EXPECT_EQ(after["home"]["firstRun"], false);
    EXPECT_EQ(after["home"]["showInfo"], true);
    EXPECT_EQ(after["home"]["headline"].get<std::string>().find("Mac") != std::string::npos,
              layout == "macos");
}

INSTANTIATE_TEST_SUITE_P(Layouts, CliStatusInLayout, testing::Values("macos", "linux"));
