// The helper client against the real DornDaemon, with an installer stand-in
// that cancels, fails, claims success without a service, or starts one.
#include "helper/FileManagerAddation.h"
#include "helper/DeamonInstaller.h"
#include "model/SettingKeys.h"
#include "platform/UserDefaults.h"
#include "tests/daemon/DaemonProcess.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace tessaly {
namespace {

using test::DaemonProcess;
using test::ScopedEnv;
using test::TempTree;

class InstallerStandIn : public DeamonInstaller {
public:
    enum class Outcome { Cancelled, Failed, SucceededUnreachable, Reachable };

    InstallerStandIn(Outcome outcome, std::function<void()> startService)
        : outcome_(outcome), startService_(std::move(startService)) {}

    bool installDeamon() override {
        ++calls;
        UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
        switch (outcome_) {
        case Outcome::Cancelled:
            setLastError("User canceled.");
            return false;
        case Outcome::Failed:
            setLastError("the helper's installation failed (exit status 1)");
            return false;
        case Outcome::SucceededUnreachable:
            return true;
        case Outcome::Reachable:
            startService_();
            return true;
        }
        return false;
    }

    int calls = 0;

private:
    Outcome outcome_;
    std::function<void()> startService_;
};

class HelperClient : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().removeObjectForKey(keys::installDeamon);
        FileManagerAddation::resetRunStateForTesting();
        launchctlLog_ = tree_.path("launchctl.log");
        launchctl_ = tree_.file("bin/launchctl",
                                "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + launchctlLog_ + "'\n");
        ::chmod(launchctl_.c_str(), 0755);
        tree_.dir("run");
    }

    void TearDown() override { DeamonInstaller::setShareInstaller(nullptr); }

    void startService() {
        daemon_ = std::make_unique<DaemonProcess>(
            socket_,
            std::vector<std::string>{"--launchctl", launchctl_, "--allow-root", tree_.root()});
        ASSERT_TRUE(daemon_->waitUntilReady()) << daemon_->log();
    }

    void use(InstallerStandIn::Outcome outcome) {
        installer_ = std::make_unique<InstallerStandIn>(outcome, [this] { startService(); });
        DeamonInstaller::setShareInstaller(installer_.get());
    }

    TempTree tree_;
    std::string socket_ = tree_.path("run/DornDamonObject");
    ScopedEnv socketEnv_{"TESSALY_HELPER_SOCKET", socket_};
    std::string launchctl_;
    std::string launchctlLog_;
    std::unique_ptr<DaemonProcess> daemon_;
    std::unique_ptr<InstallerStandIn> installer_;
};

TEST_F(HelperClient, AnInstallationThatBringsNoServiceIsAFailure) {
    using O = InstallerStandIn::Outcome;
    struct Case {
        O outcome;
        int callsAfterTwoTries; // a cancelled or failed installation is asked again
    };
    for (auto [outcome, calls] :
         {Case{O::Cancelled, 2}, Case{O::Failed, 2}, Case{O::SucceededUnreachable, 1}}) {
        SetUp();
        use(outcome);
        std::string file = tree_.file("keep/" + std::to_string(static_cast<int>(outcome)), "x");
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::vector<std::string> notRemoved;
            // Nothing was removed; a path that was never there is not listed.
            EXPECT_FALSE(
                FileManagerAddation::removeSystemFile({file, tree_.path("never")}, &notRemoved));
            EXPECT_EQ(notRemoved, std::vector<std::string>{file});
        }
        EXPECT_EQ(installer_->calls, calls) << static_cast<int>(outcome);
        EXPECT_TRUE(tree_.exists("keep/" + std::to_string(static_cast<int>(outcome))));
        EXPECT_FALSE(FileManagerAddation::shredderFile({file}));
        EXPECT_FALSE(FileManagerAddation::unloadSerevr(file));
    }
}

TEST_F(HelperClient, InstallsOnFirstNeedThenRetriesAndReportsWhatIsGone) {
    use(InstallerStandIn::Outcome::Reachable);
    std::string a = tree_.file("junk/a", "a");
    std::string b = tree_.dir("junk/b");
    tree_.file("junk/b/inner", "i");
    std::string missing = tree_.path("junk/missing");
    std::vector<std::string> notRemoved{"stale"};
    EXPECT_TRUE(FileManagerAddation::removeSystemFile({a, missing, b}, &notRemoved));
    EXPECT_EQ(installer_->calls, 1);
    EXPECT_TRUE(notRemoved.empty());
    EXPECT_FALSE(tree_.exists("junk/a"));
    EXPECT_FALSE(tree_.exists("junk/b"));
    EXPECT_TRUE(FileManagerAddation::installDeamon());

    // Now installed: the other operations go straight to the service.
    std::string secret = tree_.sizedFile("secret", 1500000, 's');
    EXPECT_TRUE(FileManagerAddation::shredderFile({secret}));
    EXPECT_EQ(test::readText(secret), std::string(1500000, '\x01'));
    std::string job = tree_.file("LaunchDaemons/com.example.job.plist", "<plist/>");
    EXPECT_TRUE(FileManagerAddation::unloadSerevr(job));
    EXPECT_FALSE(tree_.exists("LaunchDaemons/com.example.job.plist"));
    // The tool is given a private copy of the job, under its own name.
    std::string ran = test::readText(launchctlLog_);
    EXPECT_TRUE(ran.starts_with("unload|") && ran.ends_with("/com.example.job.plist|")) << ran;
    EXPECT_TRUE(FileManagerAddation::stopRemoveSystemFile());
    FileManagerAddation::stopShredder();
    EXPECT_EQ(installer_->calls, 1);
}

TEST_F(HelperClient, TheDefaultGatesEveryOperationButTheSecondRemoval) {
    use(InstallerStandIn::Outcome::SucceededUnreachable);
    startService(); // running, but the user was never asked
    std::string a = tree_.file("a", "a");
    std::vector<std::string> notRemoved;
    EXPECT_TRUE(FileManagerAddation::removeSystemFile2({a}, &notRemoved));
    EXPECT_FALSE(tree_.exists("a"));
    EXPECT_EQ(installer_->calls, 0);
    // Without the default, stopping sends nothing and installs nothing.
    EXPECT_TRUE(FileManagerAddation::stopRemoveSystemFile());
    FileManagerAddation::stopShredder();
    EXPECT_EQ(installer_->calls, 0);

    // The gated removal asks for the installation first, then uses the service.
    std::string b = tree_.file("b", "b");
    EXPECT_TRUE(FileManagerAddation::removeSystemFile({b}, &notRemoved));
    EXPECT_EQ(installer_->calls, 1);
    EXPECT_TRUE(notRemoved.empty());
    EXPECT_FALSE(tree_.exists("b"));
}

TEST_F(HelperClient, PathsTheServiceRefusesComeBackAsNotRemoved) {
    use(InstallerStandIn::Outcome::SucceededUnreachable);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    startService();
    TempTree elsewhere; // outside the service's allowed place
    std::string outside = elsewhere.file("keep", "k");
    std::string inside = tree_.file("junk", "j");
    std::vector<std::string> notRemoved;
    EXPECT_TRUE(FileManagerAddation::removeSystemFile({outside, inside}, &notRemoved));
    EXPECT_EQ(notRemoved, std::vector<std::string>{outside});
    EXPECT_TRUE(elsewhere.exists("keep"));
    EXPECT_FALSE(tree_.exists("junk"));
}

TEST_F(HelperClient, AServiceThatGoesAwayReadsAsFailureNotAsRemoval) {
    use(InstallerStandIn::Outcome::SucceededUnreachable);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    startService();
    daemon_->stop();
    std::string a = tree_.file("a", "a");
    std::vector<std::string> notRemoved;
    EXPECT_FALSE(FileManagerAddation::removeSystemFile({a}, &notRemoved));
    EXPECT_EQ(notRemoved, std::vector<std::string>{a});
    EXPECT_FALSE(FileManagerAddation::installDeamon());
    EXPECT_TRUE(FileManagerAddation::stopRemoveSystemFile()); // nothing to stop
}

TEST_F(HelperClient, AStopReachesTheOverwriteUnderWayWhichThenCountsAsNotDone) {
    use(InstallerStandIn::Outcome::SucceededUnreachable);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    startService();
    std::string big = tree_.sizedFile("big", 256u << 20, 'z');
    bool reached = false;
    std::optional<bool> overwritten;
    std::thread eraser(
        [&] { overwritten = FileManagerAddation::shredderFileOne(big, true, &reached); });
    {
        std::ifstream in(big, std::ios::binary);
        for (int i = 0; i < 20000 && in.peek() != '\x01'; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(250));
            in.seekg(0);
        }
    }
    FileManagerAddation::stopShredder();
    eraser.join();
    EXPECT_TRUE(reached);
    EXPECT_EQ(overwritten, std::optional<bool>(false)) << "a stopped overwrite counted as done";
    std::ifstream in(big, std::ios::binary);
    in.seekg((256 << 20) - 1);
    EXPECT_EQ(in.get(), 'z') << "the stop did not end the overwrite";
    // The next overwrite is not stopped by it.
    std::string small = tree_.sizedFile("small", 5000, 's');
    EXPECT_TRUE(FileManagerAddation::shredderFileOne(small, true));
    EXPECT_EQ(test::readText(small), std::string(5000, '\x01'));
}

TEST_F(HelperClient, AProcessRunningAsRootNeitherInstallsNorAsksTheHelper) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only a process running as root acts without the helper";
    use(InstallerStandIn::Outcome::Reachable);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    FileManagerAddation::setRootActsDirectlyForTesting(true);
    std::string file = tree_.file("stays", "x");
    std::vector<std::string> notRemoved;
    bool removed = FileManagerAddation::removeSystemFile({file}, &notRemoved);
    bool erased = FileManagerAddation::shredderFileOne(file, true);
    bool unloaded = FileManagerAddation::unloadSerevr(file);
    bool reachable = FileManagerAddation::installDeamon();
    FileManagerAddation::setRootActsDirectlyForTesting(false);
    EXPECT_FALSE(removed || erased || unloaded || reachable);
    EXPECT_EQ(notRemoved, std::vector<std::string>{file});
    EXPECT_EQ(installer_->calls, 0) << "root installed the helper";
    EXPECT_FALSE(daemon_) << "the service was started";
    EXPECT_EQ(test::readText(file), "x");
}

TEST_F(HelperClient, AStoppedRemovalListsExactlyThePathsThatAreStillThere) {
    use(InstallerStandIn::Outcome::SucceededUnreachable);
    UserDefaults::standardUserDefaults().setBool(keys::installDeamon, true);
    startService();
    const int kFolders = 10, kFiles = 2000;
    std::vector<std::string> folders = tree_.foldersOfFiles("rm", kFolders, kFiles);
    std::vector<std::string> notRemoved;
    bool reached = false;
    std::thread cleaner(
        [&] { reached = FileManagerAddation::removeSystemFile(folders, &notRemoved); });
    for (int i = 0; i < 20000 && std::filesystem::exists(folders[0]); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    EXPECT_TRUE(FileManagerAddation::stopRemoveSystemFile());
    cleaner.join();
    EXPECT_TRUE(reached);
    EXPECT_FALSE(std::filesystem::exists(folders.front()));
    ASSERT_FALSE(notRemoved.empty()) << "the stop did not end the removal";
    EXPECT_EQ(notRemoved.back(), folders.back());
    for (const auto& f : folders) {
        bool listed = std::find(notRemoved.begin(), notRemoved.end(), f) != notRemoved.end();
        EXPECT_EQ(listed, std::filesystem::exists(f)) << f;
    }
}

TEST(RemoveFileWithPrivileges, WaitsForTheRemovalAndReportsItsOutcome) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "would ask for an administrator password";
    TempTree tree;
    tree.file("app/Contents/a b/file", "x");
    EXPECT_TRUE(FileManagerAddation::removeFileWithPrivileges(tree.path("app")));
    EXPECT_FALSE(tree.exists("app")) << "reported before the removal was done";
    EXPECT_TRUE(std::filesystem::exists(tree.root()));
}

} // namespace
} // namespace tessaly
