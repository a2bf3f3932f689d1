// The installer with stand-in resources, administrator step and service tool.
#include "helper/DeamonInstaller.h"
#include "model/SettingKeys.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

using test::ScopedEnv;
using test::TempTree;

std::string executable(const TempTree& tree, const std::string& relative, const std::string& text) {
    std::string p = tree.file(relative, "#!/bin/sh\n" + text);
    ::chmod(p.c_str(), 0755);
    return p;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().removeObjectForKey(keys::installDeamon);
        // The script records each argument on a line and what the staged files hold.
        executable(
            tree_, "res/installDeamon.sh",
            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record_ +
                "'\ncat \"$1\" \"$2\" \"$(dirname \"$2\")/com.zqk.DornDaemon.service\" >> '" +
                record_ + "'\nexit \"$(cat '" + status_ + "')\"\n");
        tree_.file("res/DornDaemon", "daemon-bytes\n");
        tree_.file("res/com.zqk.DornDaemon.plist", "job-bytes\n");
        tree_.file("res/com.zqk.DornDaemon.service", "unit-bytes\n");
        tree_.file("res/com.zqk.DronHelper.service", "[Service]\nExecStart=@PROGRAM@\n");
        tree_.file("res/DronHelper", "menu-helper");
        tree_.file("status", "0");
    }

    std::string caches() const { return home_ + "/Library/Caches"; }

    TempTree tree_;
    std::string record_ = tree_.path("record");
    std::string status_ = tree_.path("status");
    // A home folder whose path no shell would take as one word.
    std::string home_ = tree_.dir("home with spaces/it's \"$HOME\" & more");
    ScopedEnv homeEnv_{"TESSALY_HOME", home_};
    ScopedEnv resourcesEnv_{"TESSALY_RESOURCES", tree_.path("res")};
};

TEST_F(Installer, RunsTheScriptOnStagedCopiesWithEachPathAsOneArgument) {
    DeamonInstaller installer;
    installer.setElevationCommand({});
    EXPECT_FALSE(installer.installDeamonWithUser());
    EXPECT_TRUE(installer.installDeamon());
    EXPECT_TRUE(installer.installDeamonWithUser());
    EXPECT_EQ(test::readText(record_),
              caches() + "/DornDaemon\n" + caches() + "/com.zqk.DornDaemon.plist\n" +
                  std::to_string(::getuid()) + "\ndaemon-bytes\njob-bytes\nunit-bytes\n");
    // The staged copies are gone again.
    EXPECT_TRUE(std::filesystem::is_empty(caches()));
}

TEST_F(Installer, ADismissedPromptIsUserCanceledAndOtherFailuresAreFailures) {
    struct Case {
        const char* what;
        std::string elevation; // empty: run directly
        const char* status;
        std::string error;
    };
    std::string dismiss = executable(tree_, "bin/dismiss", "exit 126\n");
    std::string consent = executable(tree_, "bin/consent", "exec \"$@\"\n");
    const Case cases[] = {
        {"dismissed", dismiss, "0", "User canceled."},
        {"script failed", consent, "1", "the helper's installation failed (exit status 1)"},
        {"failed as root", "", "3", "the helper's installation failed (exit status 3)"},
        {"consented", consent, "0", ""},
    };
    for (const auto& c : cases) {
        UserDefaults::standardUserDefaults().removeObjectForKey(keys::installDeamon);
        tree_.file("status", c.status);
        DeamonInstaller installer;
        installer.setElevationCommand(c.elevation.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{c.elevation});
        EXPECT_EQ(installer.installDeamon(), c.error.empty()) << c.what;
        EXPECT_EQ(installer.lastError(), c.error) << c.what;
        EXPECT_TRUE(installer.installDeamonWithUser()) << c.what; // set whatever the outcome
        EXPECT_TRUE(std::filesystem::is_empty(caches())) << c.what;
    }
}

TEST_F(Installer, InstallsAndRemovesTheMenuHelperAgent) {
    std::string toolLog = tree_.path("systemctl.log");
    std::string tool = executable(tree_, "bin/systemctl", "echo \"$*\" >> '" + toolLog + "'\n");
    DeamonInstaller installer;
    installer.setUserServiceTool(tool);
    installer.installAutoMenu();

    std::string bundle = home_ + "/Library/Application Support/Tessaly/DronHelper.app";
    std::string program = bundle + "/Contents/MacOS/DronHelper";
    EXPECT_EQ(test::readText(program), "menu-helper");
    auto job = plist::readFile(home_ + "/Library/LaunchAgents/com.zqk.DronHelper.plist");
    ASSERT_TRUE(job);
    EXPECT_EQ(*job, PlistValue(PlistValue::Dict{{"KeepAlive", PlistValue(true)},
                                                {"Label", PlistValue("DronHelper")},
                                                {"Program", PlistValue(program)}}));
    std::string unit = home_ + "/.config/systemd/user/com.zqk.DronHelper.service";
    std::string quoted = program;
    for (std::string::size_type at = 0; (at = quoted.find_first_of("\"$", at)) != std::string::npos;
         at += 2)
        quoted.insert(at, quoted[at] == '"' ? "\\" : "$");
    EXPECT_EQ(test::readText(unit), "[Service]\nExecStart=\"" + quoted + "\"\n");
    EXPECT_NE(test::readText(toolLog).find("--user enable --now com.zqk.DronHelper.service"),
              std::string::npos);

    installer.uninstallAutoMenu();
    EXPECT_FALSE(std::filesystem::exists(bundle));
    EXPECT_FALSE(std::filesystem::exists(unit));
    EXPECT_FALSE(std::filesystem::exists(home_ + "/Library/LaunchAgents/com.zqk.DronHelper.plist"));
    EXPECT_NE(test::readText(toolLog).find("--user disable --now com.zqk.DronHelper.service"),
              std::string::npos);
}

} // namespace
} // namespace tessaly
