// tessaly-cli system scan / clean on a fixture home and system root.
#include "platform/PropertyList.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

struct Machine : test::FixtureRoots {

    Machine() {
        t.sizedFile("home/.Trash/old.zip", 120000);
        t.sizedFile("home/.Trash/notes.txt", 10);
        t.sizedFile("home/Library/Caches/com.maker.app/blob", 40000);
        t.sizedFile("root/Library/Logs/install.log", 800);
        t.dir("home/Library/LaunchAgents");
        plist::writeFile(t.path("home/Library/LaunchAgents/com.maker.gone.plist"),
                         PlistValue(PlistValue::Dict{{"Program", PlistValue("/gone/tool")}}),
                         plist::Format::Xml);
    }
};

test::CapturedRun cli(const std::vector<std::string>& args) {
    return test::runCaptured(TESSALY_CLI_PATH, args);
}

} // namespace

TEST(SystemCommand, ScanPrintsModulesAndItems) {
    Machine m;
    auto run = cli({"system", "scan", "--json", "--details"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    std::map<std::string, nlohmann::json> modules;
    for (const auto& module : out["modules"])
        modules[module["name"]] = module;
    ASSERT_TRUE(modules.count("Trash"));
    EXPECT_EQ(modules["Trash"]["count"], 2);
    // Sizes are what removing the items gives back, as du counts it.
    const std::int64_t trash =
        test::duBytes({m.home + "/.Trash/old.zip", m.home + "/.Trash/notes.txt"});
    EXPECT_EQ(modules["Trash"]["size"], trash);
    EXPECT_EQ(modules["Trash"]["items"][0]["path"], m.home + "/.Trash/old.zip");
    EXPECT_EQ(modules["Broken LoginItems"]["count"], 1);
    EXPECT_EQ(modules["Broken LoginItems"]["items"][0]["name"], "tool");
    EXPECT_EQ(modules["User Cache"]["size"],
              test::duBytes({m.home + "/Library/Caches/com.maker.app"}));
    EXPECT_EQ(modules["System Log"]["count"], 1);

    // Only the named modules, by display name or folded.
    run = cli({"system", "scan", "--module", "trash", "--module", "System Log"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find("Trash"), std::string::npos);
    EXPECT_NE(run.standardOutput.find("System Log"), std::string::npos);
    EXPECT_EQ(run.standardOutput.find("User Cache"), std::string::npos);

    run = cli({"system", "scan", "--module", "nonsense"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.standardError.find("unknown module"), std::string::npos);
    EXPECT_TRUE(m.t.exists("home/.Trash/old.zip"));
}

TEST(SystemCommand, CleanNeedsYesThenCarriesOutThePlanItPrinted) {
    Machine m;
    auto dry = cli({"system", "clean", "--module", "Trash", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto planned = nlohmann::json::parse(dry.standardOutput);
    EXPECT_EQ(planned["dryRun"], true);
    EXPECT_EQ(planned["tool"], "system");
    ASSERT_EQ(planned["plan"].size(), 2u);
    EXPECT_EQ(planned["plan"][0]["category"], "Trash");
    EXPECT_EQ(planned["plannedBytes"],
              test::duBytes({m.home + "/.Trash/old.zip", m.home + "/.Trash/notes.txt"}));
    EXPECT_TRUE(planned["left"].empty());
    EXPECT_TRUE(m.t.exists("home/.Trash/old.zip"));

    auto run = cli({"system", "clean", "--yes", "--json", "--module", "Trash", "--module",
                    "broken-loginitems"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["dryRun"], false);
    EXPECT_EQ(out["removed"], 3);
    EXPECT_EQ(out["issues"], 1);
    EXPECT_TRUE(out["bytes"].is_number_integer());
    EXPECT_TRUE(out["left"].empty());
    EXPECT_FALSE(m.t.exists("home/.Trash/old.zip"));
    EXPECT_FALSE(m.t.exists("home/.Trash/notes.txt"));
    EXPECT_TRUE(m.t.exists("home/.Trash"));
    EXPECT_FALSE(m.t.exists("home/Library/LaunchAgents/com.maker.gone.plist"));
    EXPECT_TRUE(m.t.exists("home/Library/Caches/com.maker.app/blob"));
    EXPECT_TRUE(m.t.exists("root/Library/Logs/install.log"));

    // status and the home screen see the clean from the terminal.
    auto status = nlohmann::json::parse(cli({"status", "--json"}).standardOutput);
    EXPECT_FALSE(status["lastCleanDates"]["system"].is_null());
    EXPECT_FALSE(status["lastCleanDates"]["any"].is_null());
    EXPECT_EQ(status["cleanedTotal"]["bytes"], out["bytes"]);

    // The text form, with a file that cannot go: listed with its reason, exit code 3.
    m.t.sizedFile("home/.Trash/stuck/held.bin", 50);
    m.t.sizedFile("home/.Trash/loose.bin", 60);
    test::Unremovable held(m.t.path("home/.Trash/stuck/held.bin"));
    if (!held.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    auto partial = cli({"--no-helper", "system", "clean", "--yes", "--module", "trash"});
    EXPECT_EQ(partial.exitCode, 3) << partial.standardError;
    EXPECT_NE(partial.standardOutput.find("Removed 1 item"), std::string::npos)
        << partial.standardOutput;
    EXPECT_NE(partial.standardOutput.find(m.home + "/.Trash/stuck: permission denied"),
              std::string::npos)
        << partial.standardOutput;
    EXPECT_TRUE(m.t.exists("home/.Trash/stuck/held.bin"));
    EXPECT_FALSE(m.t.exists("home/.Trash/loose.bin"));
}

TEST(SystemCommand, UnreadableFoldersAndAMissingHomeAreSaid) {
    Machine m;
    m.t.sizedFile("home/Library/Caches/com.maker.shut/inner/data", 4000);
    if (::geteuid() != 0) {
        ::chmod(m.t.path("home/Library/Caches/com.maker.shut/inner").c_str(), 0);
        auto run = cli({"system", "scan", "--module", "user-cache", "--json"});
        ::chmod(m.t.path("home/Library/Caches/com.maker.shut/inner").c_str(), 0755);
        ASSERT_EQ(run.exitCode, 0) << run.standardError;
        auto out = nlohmann::json::parse(run.standardOutput);
        ASSERT_EQ(out["problems"].size(), 1u);
        EXPECT_EQ(out["problems"][0]["path"], m.home + "/Library/Caches/com.maker.shut/inner");
        EXPECT_NE(out["problems"][0]["reason"].get<std::string>().find("permission denied"),
                  std::string::npos);
    }
    test::ScopedEnv nowhere("TESSALY_HOME", m.t.path("no-such-home"));
    auto run = cli({"system", "scan"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.standardError.find("does not exist"), std::string::npos) << run.standardError;
}

// Localisations are listed as groups of applications with their folders, and a
// dry run names the folders that would go; the engines' log stays quiet.
TEST(SystemCommand, LanguageGroupsShowTheirApplicationsAndFolders) {
    test::FixtureRoots m;
    test::ScopedEnv language("LANGUAGE", "en_US"); // the system's language is kept too
    std::string resources = "root/Applications/Editor.app/Contents/Resources/";
    for (const char* lang : {"en", "fr", "pt_BR", "pt_PT"})
        m.t.sizedFile(resources + lang + ".lproj/Localizable.strings", 3000);
    plist::writeFile(m.t.path("root/Applications/Editor.app/Contents/Info.plist"),
                     PlistValue(PlistValue::Dict{{"CFBundleIdentifier", PlistValue("com.x.ed")},
                                                 {"CFBundleExecutable", PlistValue("main")}}),
                     plist::Format::Xml);
    const std::string folder = m.root + "/Applications/Editor.app/Contents/Resources/";

    auto run = cli({"system", "scan", "--module", "language", "--details", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["modules"].size(), 1u);
    std::map<std::string, nlohmann::json> byGroup;
    for (const auto& item : out["modules"][0]["items"])
        byGroup[item["group"]] = item;
    ASSERT_EQ(byGroup.size(), 2u);
    EXPECT_EQ(byGroup["Portuguese"]["name"], "Editor.app");
    EXPECT_EQ(byGroup["Portuguese"]["removePaths"],
              (std::vector<std::string>{folder + "pt_BR.lproj", folder + "pt_PT.lproj"}));
    EXPECT_EQ(byGroup["French"]["removePaths"], std::vector<std::string>{folder + "fr.lproj"});

    run = cli({"system", "clean", "--module", "language"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    for (const char* gone : {"fr.lproj", "pt_BR.lproj", "pt_PT.lproj"})
        EXPECT_NE(run.standardOutput.find(folder + gone), std::string::npos) << run.standardOutput;
    EXPECT_EQ(run.standardOutput.find("en.lproj"), std::string::npos);

    run = cli({"system", "clean", "--yes", "--module", "language"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_NE(run.standardOutput.find("Removed 2 items"), std::string::npos) << run.standardOutput;
    EXPECT_FALSE(m.t.exists(resources + "pt_BR.lproj"));
    EXPECT_TRUE(m.t.exists(resources + "en.lproj"));
}

// A home whose cache variable names the home folder itself, with what each
// layout keeps and what it may clean: the dry run plans only what may go, says
// why the variable was not followed, and the clean leaves the rest byte for byte.
class SystemCommandInBothLayouts : public ::testing::TestWithParam<const char*> {};

TEST_P(SystemCommandInBothLayouts, TheCleanPlansAndTakesOnlyWhatMayGo) {
    const std::string layout = GetParam();
    test::ScopedEnv chosen("TESSALY_LAYOUT", layout);
    test::FixtureRoots m;
    test::ScopedEnv cache("XDG_CACHE_HOME", m.home);
    std::map<std::string, std::string> files;
    auto add = [&](const std::string& relative, const std::string& contents = {}) {
        files[relative] = contents.empty() ? "contents of " + relative : contents;
        m.t.file(relative, files[relative]);
    };
    for (const char* kept :
         {"home/Documents/tax-2023.ods", "home/Pictures/cat.jpg", "home/Music/a.ogg",
          "home/Videos/v.mkv", "home/Desktop/todo.txt", "home/Downloads/debian-12.iso",
          // Live logs of a client each, a log put aside.
          "root/var/log/samba/log.192.168.1.20", "root/var/log/samba/log.192.168.1.21",
          "root/var/log/samba/log.smbd.old",
          // Caches, leftovers and logs of each layout.
          "home/.cache/pip/http/blob", "home/.config/com.gone.Tool/settings.ini",
          "home/.config/org.example.Indexer/index.db", "home/Library/Caches/com.maker.app/blob",
          "root/Library/Logs/install.log"})
        add(kept);
    // A user service started from the home, an application the menu does not show.
    add("home/bin/tool", "#!/bin/sh\n");
    ::chmod(m.t.path("home/bin/tool").c_str(), 0755);
    add("home/.config/systemd/user/tool.service", "[Service]\nExecStart=%h/bin/tool --serve\n");
    add("root/usr/share/applications/org.gnome.TextEditor.desktop",
        "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=gnome-text-editor\n");
    add("root/usr/share/applications/org.example.Indexer.desktop",
        "[Desktop Entry]\nType=Application\nName=Indexer\nNoDisplay=true\nExec=indexer\n");
    const std::set<std::string> gone =
        layout == "linux" ? std::set<std::string>{"home/.cache/pip", "home/.config/com.gone.Tool",
                                                  "root/var/log/samba/log.smbd.old"}
                          : std::set<std::string>{"home/Library/Caches/com.maker.app",
                                                  "root/Library/Logs/install.log"};

    auto dry = cli({"--no-helper", "system", "clean", "--json"});
    ASSERT_EQ(dry.exitCode, 0) << dry.standardError;
    auto planned = nlohmann::json::parse(dry.standardOutput);
    std::set<std::string> plan;
    for (const auto& step : planned["plan"])
        plan.insert(step["path"].get<std::string>().substr(m.t.root().size() + 1));
    EXPECT_EQ(plan, gone);
    std::vector<std::string> reasons;
    for (const auto& problem : planned["problems"])
        reasons.push_back(problem["path"].get<std::string>() + ": " +
                          problem["reason"].get<std::string>());
    const std::string said = m.home +
                             ": XDG_CACHE_HOME is not used as a place to clean: it is "
                             "the home folder itself; the default " +
                             m.home + "/.cache is used instead";
    EXPECT_EQ(reasons,
              layout == "linux" ? std::vector<std::string>{said} : std::vector<std::string>{});
    auto text = cli({"--no-helper", "system", "scan"});
    ASSERT_EQ(text.exitCode, 0) << text.standardError;
    EXPECT_EQ(text.standardOutput.find(said) != std::string::npos, layout == "linux")
        << text.standardOutput;

    auto run = cli({"--no-helper", "system", "clean", "--yes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], gone.size());
    EXPECT_TRUE(out["left"].empty()) << out["left"].dump();
    for (const auto& [relative, contents] : files) {
        bool goes = false;
        for (const std::string& g : gone)
            goes = goes || relative == g || relative.rfind(g + "/", 0) == 0;
        if (goes)
            EXPECT_FALSE(m.t.exists(relative)) << relative;
        else
            EXPECT_EQ(test::readText(m.t.path(relative)), contents) << relative;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SystemCommandInBothLayouts, ::testing::Values("macos", "linux"));

// --keep keeps a path for one run, before or after the command, in both layouts;
// it is not stored, so the next run lists the path again.
class SystemCommandKeep : public ::testing::TestWithParam<const char*> {};

TEST_P(SystemCommandKeep, AKeptPathIsNeitherPlannedNorRemovedForThatRun) {
    const std::string layout = GetParam();
    test::ScopedEnv chosen("TESSALY_LAYOUT", layout);
    test::FixtureRoots m;
    const std::string caches = layout == "linux" ? "home/.cache" : "home/Library/Caches";
    m.t.file(caches + "/models/bert.bin", "weights");
    m.t.file(caches + "/models-old/x", "old");
    m.t.file(caches + "/thumbs/a", "a");
    auto planOf = [&](const nlohmann::json& out) {
        std::set<std::string> plan;
        for (const auto& step : out["plan"])
            plan.insert(step["path"].get<std::string>().substr(m.t.root().size() + 1));
        return plan;
    };
    auto run =
        cli({"--no-helper", "--keep", m.t.path(caches + "/models"), "system", "clean", "--module",
             "user-cache", "--yes", "--json", "--keep", m.t.path(caches + "/thumbs/")});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_EQ(planOf(nlohmann::json::parse(run.standardOutput)),
              std::set<std::string>{caches + "/models-old"});
    EXPECT_FALSE(m.t.exists(caches + "/models-old"));
    EXPECT_EQ(test::readText(m.t.path(caches + "/models/bert.bin")), "weights");
    EXPECT_EQ(test::readText(m.t.path(caches + "/thumbs/a")), "a");

    auto next = cli({"--no-helper", "system", "clean", "--module", "user-cache", "--json"});
    ASSERT_EQ(next.exitCode, 0) << next.standardError;
    EXPECT_EQ(planOf(nlohmann::json::parse(next.standardOutput)),
              (std::set<std::string>{caches + "/models", caches + "/thumbs"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, SystemCommandKeep, ::testing::Values("macos", "linux"));
