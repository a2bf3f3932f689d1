// The program's own removal, on a fixture copy of an installation, and the
// Application tab's age groups.
#include "ScanCode/uninstall/AppAgeGroups.h"
#include "platform/ChildProcess.h"
#include "platform/LoginItemsStore.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

// An installation of the program under "install", the helper as its
// installation script leaves it under "sysroot", and the program's files in
// the fixture home.
struct Installed : test::UninstallMachine {
    std::vector<std::string> program, related, kept, helperFiles;
    std::string sysroot = m.t.dir("sysroot");
    std::vector<std::string> handedToRemove2, removedWithPrivileges;
    bool helperAnswers = true;
    test::ScopedEnv installRoot{"TESSALY_INSTALL_ROOT", sysroot};

    Installed() {
        auto& t = m.t;
        program = {t.file("install/bin/tessaly", "x"), t.file("install/bin/tessaly-cli", "x"),
                   t.dir("install/share/tessaly"),
                   t.file("install/share/applications/tessaly.desktop", "x")};
        t.file("install/share/tessaly/Language.plist", "x");
        related = {t.file("home/Library/Preferences/com.zqk.Tessaly.plist", "x"),
                   t.dir("home/Library/Caches/com.zqk.Tessaly"),
                   t.dir("home/Library/Application Support/Tessaly"),
                   t.file("tmp/T/com.zqk.Tessaly.lock", "x")};
        kept = {t.file("home/Library/Preferences/com.zqk.TessalyPro.plist", "x"),
                t.file("sysroot/etc/tessaly/helper-roots", "/srv\n")};
        helperFiles = {t.file("sysroot/etc/systemd/system/com.zqk.DornDaemon.service", "x"),
                       t.file("sysroot/etc/systemd/system/com.zqk.DornDaemon.service.d/roots.conf"),
                       t.file("sysroot/usr/local/libexec/DornDaemon", "x"),
                       t.file("sysroot/usr/local/share/tessaly/com.zqk.DornDaemon.plist", "x"),
                       t.file("sysroot/run/tessaly/DornDamonObject", "")};
        loginItem("Tessaly", "/usr/local/bin/tessaly");
        dock({{"com.zqk.Tessaly", "Tessaly"}, {"com.maker.Tool", "Tool"}});
    }

    UninstallEnvironment selfEnvironment() {
        UninstallEnvironment env = environment();
        env.self.identifier = "com.zqk.Tessaly";
        env.self.executable = "Tessaly";
        env.self.programPaths = program;
        env.self.uninstallScript = paths::resourcePath("Uninstall", "sh");
        env.self.helperAnswers = [this] { return helperAnswers; };
        env.self.removeSystemFile2 = [this](const std::vector<std::string>& paths,
                                            std::vector<std::string>*) {
            handedToRemove2.insert(handedToRemove2.end(), paths.begin(), paths.end());
            return true;
        };
        env.self.runScriptAsRoot = [](const std::string& script) {
            return runProcess("/bin/sh", {script}, ChildOutput::Discard) == 0;
        };
        env.self.removeFileWithPrivileges = [this](const std::string& path) {
            removedWithPrivileges.push_back(path);
            return fileops::removeItem(path);
        };
        return env;
    }
};

} // namespace

TEST(SelfRemoval, RemovesTheProgramItsFilesEntriesAndTheHelperWhileItAnswers) {
    Installed in;
    ASSERT_FALSE(paths::resourcePath("Uninstall", "sh").empty());
    SearchApplications engine(in.selfEnvironment());
    SelfRemovalReport report = engine.uninstallSelfNow();

    EXPECT_TRUE(report.helperAnswered);
    EXPECT_TRUE(report.scriptRan);
    EXPECT_TRUE(report.left.empty());
    for (const auto* list : {&in.program, &in.related, &in.helperFiles})
        for (const std::string& path : *list)
            EXPECT_FALSE(fileops::itemExists(path)) << path;
    for (const std::string& path : in.kept)
        EXPECT_TRUE(fileops::itemExists(path)) << path;
    EXPECT_TRUE(in.handedToRemove2.empty()); // everything went directly
    EXPECT_TRUE(in.removedWithPrivileges.empty());
    EXPECT_TRUE(LoginItemsStore(LoginItemsStore::defaultPath()).snapshot()->empty());
    auto tiles = readDockApps();
    ASSERT_TRUE(tiles);
    ASSERT_EQ(tiles->size(), 1u);
    EXPECT_TRUE(findDockTile(*tiles, "com.maker.Tool"));
}

TEST(SelfRemoval, WithoutTheHelperWhatStaysGoesWithAdministratorRights) {
    Installed in;
    in.helperAnswers = false;
    test::Unremovable lock(in.program[0]);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    SearchApplications engine(in.selfEnvironment());
    SelfRemovalReport report = engine.uninstallSelfNow();
    EXPECT_FALSE(report.scriptRan);
    EXPECT_TRUE(fileops::itemExists(in.helperFiles[0])); // the helper is left alone
    EXPECT_EQ(in.removedWithPrivileges, std::vector<std::string>{in.program[0]});
    EXPECT_EQ(report.left, std::vector<std::string>{in.program[0]});
    for (std::size_t i = 1; i < in.program.size(); ++i)
        EXPECT_FALSE(fileops::itemExists(in.program[i])) << in.program[i];
}

TEST(SelfRemoval, AProgramThatIsNotInstalledIsNeverRemoved) {
    Installed in;
    UninstallEnvironment env = in.selfEnvironment();
    env.self.programPaths.clear();
    SearchApplications engine(env);
    SelfRemovalReport report = engine.uninstallSelfNow();
    EXPECT_TRUE(report.removed.empty());
    for (const std::string& path : in.related)
        EXPECT_TRUE(fileops::itemExists(path)) << path;
    // The real program, run from a build tree, is not an installation either.
    EXPECT_TRUE(SelfRemovalEnvironment::system().programPaths.empty());
}

TEST(AppAgeGroups, ApplicationsByLastUseInTheirGroups) {
    const Date now = dateFromUnixSeconds(2'000'000'000);
    struct Case {
        const char* name;
        std::optional<std::int64_t> secondsAgo;
    };
    const Case cases[] = {
        {"today", 0},
        {"future", -100},
        {"weekOld", 1'313'999},
        {"halfMonth", 1'314'001},
        {"twoMonths", 5'000'000},
        {"yearAndHalf", 50'000'000},
        {"ancient", 900'000'000},
        {"never", std::nullopt},
    };
    AppItemList apps;
    for (const Case& c : cases) {
        auto item = std::make_shared<AppItem>();
        item->name = c.name;
        if (c.secondsAgo)
            item->lastOpenDate = now - std::chrono::seconds(*c.secondsAgo);
        apps.push_back(item);
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> got;
    for (const AppAgeGroup& group : appAgeGroups(apps, now)) {
        std::vector<std::string> names;
        for (const AppItemRef& item : group.apps)
            names.push_back(item->name);
        got.push_back({group.type->name, names});
    }
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::vector<std::string>>>{
                       {"within half a month", {"today", "future", "weekOld"}},
                       {"half a month ago", {"halfMonth"}},
                       {"1 month ago", {"twoMonths"}},
                       {"1 year ago", {"yearAndHalf"}},
                       {"2 years ago", {"ancient", "never"}},
                   }));
}
