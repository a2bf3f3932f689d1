// The installer with stand-in resources, administrator step and service tool.
#include "helper/DeamonInstaller.h"
#include "model/SettingKeys.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <filesystem>
#include <functional>
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
        // The script records how it was run, one argument a line.
        executable(tree_, "res/installDeamon.sh",
                   "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record_ +
                       "'\nexit \"$(cat '" + status_ + "')\"\n");
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

TEST_F(Installer, RunsTheResourcesOwnScriptAndStagesNothingTheUserCouldSwap) {
    std::string elevationLog = tree_.path("elevation.log");
    std::string consent = executable(
        tree_, "bin/consent", "printf '%s\\n' \"$@\" > '" + elevationLog + "'\nexec \"$@\"\n");
    std::string uid = std::to_string(::getuid());
    for (bool elevated : {false, true}) {
        DeamonInstaller installer;
        installer.setElevationCommand(elevated ? std::vector<std::string>{consent}
                                               : std::vector<std::string>{});
        UserDefaults::standardUserDefaults().removeObjectForKey(keys::installDeamon);
        EXPECT_FALSE(installer.installDeamonWithUser());
        EXPECT_TRUE(installer.installDeamon());
        EXPECT_TRUE(installer.installDeamonWithUser());
        EXPECT_EQ(test::readText(record_), tree_.path("res/installDeamon.sh") + "\n" + uid + "\n");
    }
    // pkexec is given the script itself, which the helper's polkit action names.
    EXPECT_EQ(test::readText(elevationLog), tree_.path("res/installDeamon.sh") + "\n" + uid + "\n");
    EXPECT_FALSE(std::filesystem::exists(caches()));
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
    // pkexec without a running polkit: its own words never reach the user.
    std::string noAuthority = executable(
        tree_, "bin/no-authority",
        "echo 'Error getting authority: Error initializing authority: Could not connect' >&2\n"
        "exit 127\n");
    const Case cases[] = {
        {"dismissed", dismiss, "0", "User canceled."},
        {"no polkit", noAuthority, "0",
         "administrator rights cannot be asked for: the system's authorization service (polkit) "
         "is not running"},
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

TEST(InstallScript, InstallsOnlyFromFilesThatRootAloneMayChange) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the script's own checks want root-owned files, which only root can make";
    std::string script = paths::resourcePath("installDeamon", "sh");
    ASSERT_FALSE(script.empty());
    TempTree tree;
    std::string source = tree.dir("share/tessaly");
    std::filesystem::copy_file(script, source + "/installDeamon.sh");
    std::filesystem::copy_file(paths::resourcePath("com.zqk.DornDaemon", "service"),
                               source + "/com.zqk.DornDaemon.service");
    tree.file("share/tessaly/DornDaemon", "service-bytes");
    tree.file("share/tessaly/com.zqk.DornDaemon.plist", "job-bytes");
    std::string dest = tree.dir("dest");
    tree.file("dest/etc/tessaly/helper-roots", "# extra\n/srv/cleanable\n");
    ScopedEnv installRoot("TESSALY_INSTALL_ROOT", dest);
    auto run = [&] { return runProcess("/bin/sh", {source + "/installDeamon.sh", "1234"}); };

    ASSERT_EQ(run(), 0);
    EXPECT_EQ(test::readText(dest + "/usr/local/libexec/DornDaemon"), "service-bytes");
    std::string unit = test::readText(dest + "/etc/systemd/system/com.zqk.DornDaemon.service");
    EXPECT_NE(unit.find("ExecStart=/usr/local/libexec/DornDaemon --allow-uid 1234\n"),
              std::string::npos)
        << unit;
    EXPECT_NE(unit.find("NoNewPrivileges=yes"), std::string::npos);
    // Only the accepted user's home is visible to it (1234 has none here), and
    // the system places the Linux layout cleans are writable.
    EXPECT_NE(unit.find("ProtectHome=tmpfs\nBindPaths=-/nonexistent/tessaly-no-home\n"),
              std::string::npos)
        << unit;
    EXPECT_EQ(unit.find("@INSTALLING"), std::string::npos) << "a placeholder was left: " << unit;
    for (const char* row : {"-/var/log", "-/var/cache/apt/archives", "-/usr/share/locale"})
        EXPECT_NE(unit.find(row), std::string::npos) << row;
    EXPECT_NE(test::readText(dest + "/etc/systemd/system/com.zqk.DornDaemon.service.d/roots.conf")
                  .find("ReadWritePaths=\"-/srv/cleanable\""),
              std::string::npos);

    // A source that someone else may change is not installed.
    tree.file("share/tessaly/DornDaemon", "swapped-bytes");
    for (auto change : std::vector<std::function<void()>>{
             [&] { ASSERT_EQ(::chown((source + "/DornDaemon").c_str(), 65534, 65534), 0); },
             [&] {
                 ASSERT_EQ(::chown((source + "/DornDaemon").c_str(), 0, 0), 0);
                 ::chmod(source.c_str(), 0775);
             }}) {
        change();
        EXPECT_EQ(run(), 3);
        EXPECT_EQ(test::readText(dest + "/usr/local/libexec/DornDaemon"), "service-bytes");
    }
}

} // namespace
} // namespace tessaly
