#include "platform/Paths.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/ScanCode/uninstall/PackageFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

// Runs tessaly-cli with the arguments and returns what it printed on standard output.
std::string runCli(const std::string& arguments, int* status) {
    std::string command = std::string(TESSALY_CLI_PATH) + " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    *status = ::pclose(pipe);
    return out;
}

} // namespace

TEST(AppsCommand, ListsTheCatalogueAndTheOtherKindsAsJson) {
    test::TempTree t;
    test::ScopedEnv home("TESSALY_HOME", t.dir("home"));
    test::ScopedEnv root("TESSALY_ROOT", t.dir("root"));
    test::makeBundle(t, "root/Applications/Safari.app", "com.apple.Safari", "9.1");
    test::makeBundle(t, "root/Applications/Foo.app", "com.maker.foo", "1.2");
    test::makeBundle(t, "home/Library/Widgets/Notes.wdgt", "com.maker.notes");

    int status = -1;
    auto apps = nlohmann::json::parse(runCli("apps --json", &status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0]["name"], "Foo");
    EXPECT_EQ(apps[0]["identifier"], "com.maker.foo");
    EXPECT_EQ(apps[0]["version"], "1.2");
    EXPECT_GT(apps[0]["size"].get<std::int64_t>(), 0);
    EXPECT_TRUE(apps[0]["lastUse"].is_string());
    EXPECT_EQ(apps[0]["system"], false);
    EXPECT_EQ(apps[0]["removable"], true);
    EXPECT_EQ(apps[1]["name"], "Safari");
    EXPECT_EQ(apps[1]["system"], true);
    EXPECT_EQ(apps[1]["removable"], false);

    auto other = nlohmann::json::parse(runCli("apps --other --json", &status));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(other["plugins"].empty());
    ASSERT_EQ(other["widgets"].size(), 1u);
    EXPECT_EQ(other["widgets"][0]["name"], "Notes");
    EXPECT_TRUE(other["preferencePanes"].empty());
}

TEST(AppsCommand, ALinuxHomeListsItsDesktopEntries) {
    test::TempTree t;
    test::ScopedEnv home("TESSALY_HOME", t.dir("home"));
    test::ScopedEnv root("TESSALY_ROOT", t.dir("root"));
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    t.file("root/usr/share/applications/org.gnome.Calculator.desktop",
           "[Desktop Entry]\nType=Application\nName=Calculator\nExec=gnome-calculator\n");
    t.file("root/var/lib/dpkg/status", "Package: gnome-calculator\nStatus: install ok installed\n"
                                       "Version: 43.0.1-2\nInstalled-Size: 10\n");
    t.file("root/var/lib/dpkg/info/gnome-calculator.list",
           "/usr/share/applications/org.gnome.Calculator.desktop\n");

    int status = -1;
    auto apps = nlohmann::json::parse(runCli("apps --json", &status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]["name"], "Calculator");
    EXPECT_EQ(apps[0]["identifier"], "org.gnome.Calculator");
    EXPECT_EQ(apps[0]["version"], "43.0.1-2");
    EXPECT_EQ(apps[0]["size"], 10240);
}

namespace {

// A fixture machine with Tool (its preferences and caches) and a temporary
// folder of its own.
struct ToolMachine {
    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    test::ScopedEnv root{"TESSALY_ROOT", t.dir("root")};
    test::ScopedEnv tmp{"TMPDIR", t.dir("tmp")};
    std::string tool = test::makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    std::string prefs = t.file("home/Library/Preferences/com.maker.Tool.plist", "prefs");
    std::string cache = t.dir("home/Library/Caches/com.maker.Tool");
    std::string other = t.file("home/Library/Preferences/com.maker.Toolbox.plist", "kept");

    test::CapturedRun cli(std::vector<std::string> arguments) const {
        return test::runCaptured(TESSALY_CLI_PATH, arguments);
    }
};

} // namespace

TEST(AppsCommand, FilesShowsWhatBelongsToOneApplication) {
    ToolMachine m;
    m.t.sizedFile("home/Library/Caches/com.maker.Tool/data", 3000);
    auto run = m.cli({"apps", "files", "Tool", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["identifier"], "com.maker.Tool");
    ASSERT_EQ(out["files"].size(), 3u);
    EXPECT_EQ(out["files"][0]["path"], m.tool); // the bundle first, then by size
    EXPECT_EQ(out["files"][1]["path"], m.cache);
    EXPECT_EQ(out["files"][2]["path"], m.prefs);
    for (const auto& f : out["files"]) {
        EXPECT_EQ(f["kind"], "file");
        EXPECT_EQ(f["checked"], true);
    }
    // By identifier, as text.
    run = m.cli({"apps", "files", "com.maker.Tool"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.standardOutput.find("[x] file  " + m.prefs), std::string::npos)
        << run.standardOutput;
}

TEST(AppsCommand, RemoveListsItsPlanWithoutYesAndCarriesItOutWithIt) {
    ToolMachine m;
    auto dry = m.cli({"apps", "remove", "Tool", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(plan["tool"], "apps");
    EXPECT_EQ(plan["dryRun"], true);
    EXPECT_EQ(plan["plan"].size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(m.tool));

    auto done = m.cli({"apps", "remove", "Tool", "--yes", "--json"});
    ASSERT_EQ(done.exitCode, 0) << done.standardError;
    auto outcome = nlohmann::json::parse(done.standardOutput);
    EXPECT_EQ(outcome["removed"], 3);
    EXPECT_EQ(outcome["bytes"], plan["plannedBytes"]);
    EXPECT_TRUE(outcome["left"].empty());
    for (const std::string& gone : {m.tool, m.prefs, m.cache})
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_TRUE(std::filesystem::exists(m.other));
    EXPECT_TRUE(nlohmann::json::parse(m.cli({"apps", "--json"}).standardOutput).empty());
}

TEST(AppsCommand, ANameThatNamesNothingOrSeveralItemsIsAUsageError) {
    ToolMachine m;
    std::string second = test::makeApp(m.t, "home/Apps/Tool.app", "org.other.Tool", "Tool");
    auto run = m.cli({"apps", "files", "Tool"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find(m.tool), std::string::npos) << run.standardError;
    EXPECT_NE(run.standardError.find(second), std::string::npos) << run.standardError;
    EXPECT_TRUE(run.standardOutput.empty());

    run = m.cli({"apps", "remove", "Nothing", "--yes"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find("Nothing"), std::string::npos);

    // Its path or identifier names one.
    EXPECT_EQ(m.cli({"apps", "files", second}).exitCode, 0);
    EXPECT_EQ(m.cli({"apps", "remove", "org.other.Tool", "com.maker.Tool", "--yes"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_FALSE(std::filesystem::exists(m.tool));
}

// Removing applications takes what is named for them, never what another
// application's folder merely shares a name with, and never what another
// installed application could own by the same rules.
TEST(AppsCommand, RemovalLeavesWhatOtherApplicationsGoBy) {
    test::TempTree t;
    test::ScopedEnv home{"TESSALY_HOME", t.dir("home")};
    test::ScopedEnv root{"TESSALY_ROOT", t.dir("root")};
    test::ScopedEnv tmp{"TMPDIR", t.dir("tmp")};
    const std::string homeApp =
        test::makeApp(t, "root/Applications/Home.app", "com.home.App", "App", 30'000);
    const std::string studio =
        test::makeApp(t, "root/Applications/Sync Studio.app", "com.vendor.Sync", "syncd");
    const std::string pro =
        test::makeApp(t, "root/Applications/Sync Pro.app", "com.other.Sync", "syncpro");
    const std::string support = "home/Library/Application Support/";
    std::map<std::string, std::string> kept;
    for (const char* other :
         {"WhatsApp", "AppleScript", "Thunderbird App", "SyncServices", "CloudSync", "Sync"})
        kept[t.file(support + other + "/data", std::string("the data of ") + other)] = "";
    kept[pro + "/Contents/MacOS/syncpro"] = "";
    for (auto& [path, bytes] : kept)
        bytes = test::readText(path);
    const std::string own = t.file(support + "App/state", "Home's own");
    const std::string agent = t.path("home/Library/LaunchAgents/com.home.App.agent.plist");
    t.file("home/Library/LaunchAgents/com.home.App.agent.plist",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>Label</key><string>com.home.App.agent</string><key>Program</key>"
           "<string>/Applications/Home.app/Contents/MacOS/App</string></dict></plist>\n");
    auto cli = [](std::vector<std::string> arguments) {
        return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
    };

    // A job's record is its description, at the description's own size.
    auto files = cli({"apps", "files", "Home", "--json"});
    ASSERT_EQ(files.exitCode, 0) << files.standardError;
    std::int64_t jobSize = -1;
    const auto homeFiles = nlohmann::json::parse(files.standardOutput);
    for (const auto& f : homeFiles["files"])
        if (f["kind"] == "launch-job")
            jobSize = f["size"];
    EXPECT_EQ(jobSize, test::duBytes({agent}));
    // The folder both Sync applications go by is listed, unticked, with why.
    files = cli({"apps", "files", "Sync Studio", "--json"});
    bool listed = false;
    const auto syncFiles = nlohmann::json::parse(files.standardOutput);
    for (const auto& f : syncFiles["files"])
        if (f["path"] == t.path(support + "Sync")) {
            listed = true;
            EXPECT_EQ(f["checked"], false);
            EXPECT_NE(f.value("note", std::string()).find("Sync Pro"), std::string::npos);
        }
    EXPECT_TRUE(listed);

    auto dry = cli({"apps", "remove", "Home", "Sync Studio", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto plan = nlohmann::json::parse(dry.standardOutput);
    std::set<std::string> planned;
    for (const auto& step : plan["plan"]) {
        planned.insert(step["path"].get<std::string>());
        if (step["path"] == agent) {
            EXPECT_EQ(step["size"], jobSize); // the plan says what the listing said
        }
    }
    EXPECT_EQ(planned, (std::set<std::string>{homeApp, t.path(support + "App"), agent, studio}));

    auto run = cli({"apps", "remove", "Home", "Sync Studio", "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    for (const std::string& gone : planned)
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_FALSE(std::filesystem::exists(own));
    for (const auto& [path, bytes] : kept)
        EXPECT_EQ(test::readText(path), bytes) << path;
}

// A Linux application installed from a package: the plan shows the exact
// command, --yes runs it, and the package database then says it is gone.
TEST(AppsCommand, APackagedApplicationIsRemovedByTheCommandItsPlanShows) {
    test::FixtureRoots m;
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    test::ScopedEnv dirs("XDG_DATA_DIRS", "/usr/share");
    test::PackageStandIns tools(m.t);
    m.t.file("root/var/lib/dpkg/status", test::PackageStandIns::stanza("calc", 300) +
                                             test::PackageStandIns::stanza("calc-extras", 40));
    tools.ownedFiles("calc", {"/usr/share/applications/org.sys.Calc.desktop", "/usr/bin/calc"});
    m.t.file("root/usr/share/applications/org.sys.Calc.desktop",
             "[Desktop Entry]\nType=Application\nName=System Calc\nExec=calc\n");
    ::chmod(m.t.path("root/usr/bin/calc").c_str(), 0755);
    const std::string config = m.t.sizedFile("home/.config/calc/state", 2000);
    const std::string kept = m.t.file("home/.config/calculator/state", "another's");
    auto cli = [](std::vector<std::string> arguments) {
        return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
    };
    const bool root = ::geteuid() == 0;
    const std::string command =
        root ? tools.aptGet + " remove -y -- calc"
             : tools.pkexec + " " + paths::resourcePath("removePackages", "sh") + " remove calc";

    auto list = cli({"apps", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.standardError;
    auto apps = nlohmann::json::parse(list.standardOutput);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0]["kind"], "package");
    EXPECT_EQ(apps[0]["package"], "calc");

    // More than its own package goes only once the list is confirmed.
    tools.set("apt-extra", "Remv calc-extras [1.0]\n");
    auto refused = cli({"apps", "remove", "System Calc", "--yes", "--json"});
    EXPECT_EQ(refused.exitCode, 3) << refused.standardError;
    auto outcome = nlohmann::json::parse(refused.standardOutput);
    EXPECT_TRUE(outcome["plan"].empty());
    EXPECT_NE(outcome["problems"].dump().find("calc-extras"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(config));

    auto dry = cli({"apps", "remove", "System Calc", "--confirm-packages"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    EXPECT_NE(dry.standardOutput.find("uninstall  " + m.root +
                                      "/usr/share/applications/org.sys.Calc.desktop"),
              std::string::npos)
        << dry.standardOutput;
    EXPECT_NE(dry.standardOutput.find("runs: " + command), std::string::npos) << dry.standardOutput;
    EXPECT_NE(dry.standardOutput.find("calc, calc-extras"), std::string::npos);

    const std::int64_t homeBytes = test::duBytes({m.home + "/.config/calc"});
    auto done = cli({"apps", "remove", "System Calc", "--confirm-packages", "--yes", "--json"});
    ASSERT_EQ(done.exitCode, 0) << done.standardError;
    outcome = nlohmann::json::parse(done.standardOutput);
    EXPECT_EQ(outcome["removed"], 2);
    EXPECT_EQ(outcome["bytes"], (300 + 40) * 1024 + homeBytes);
    EXPECT_FALSE(std::filesystem::exists(config));
    EXPECT_EQ(test::readText(kept), "another's");
    EXPECT_EQ(test::readText(m.root + "/var/lib/dpkg/status").find("Package: calc\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m.root + "/usr/bin/calc"));
    EXPECT_TRUE(nlohmann::json::parse(cli({"apps", "--json"}).standardOutput).empty());
}
