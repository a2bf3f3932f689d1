// Running browsers: the user's processes named as a browser's executables, a
// Safari stand-in that is never found here, and a polite request to quit.
#include "ScanCode/browser/BroswerManager.h"
#include "platform/ProcessList.h"
#include "tests/support/TempTree.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;

TEST(RunningBrowsers, BrowsersAreFoundByTheirExecutablesInLayoutOrder) {
    std::vector<process::RunningProcess> running{
        {10, "bash"}, {11, "firefox-esr"}, {12, "chromium"}, {13, "firefox-esr"}, {14, "Safari"}};
    auto found = hasBrowserRun(currentBrowserLayout(), [&] { return running; });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].bundleIdentifier, "com.google.Chrome");
    EXPECT_EQ(found[0].processes, std::vector<pid_t>{12});
    EXPECT_EQ(found[1].bundleIdentifier, "org.mozilla.firefox");
    EXPECT_EQ(found[1].processes, (std::vector<pid_t>{11, 13}));
    EXPECT_TRUE(hasBrowserRun(currentBrowserLayout(), {}).empty());
}

TEST(RunningBrowsers, ARealProcessNamedAsABrowserIsListedAndAskedToQuit) {
    // A copy of a harmless program under a browser's executable name.
    test::TempTree t;
    const std::string fake = t.path("firefox-esr");
    std::filesystem::copy_file("/bin/sleep", fake);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(fake.c_str(), fake.c_str(), "600", nullptr);
        ::_exit(127);
    }
    // Wait until the process runs the copy (its exec has happened).
    auto ours = [pid](const std::vector<RunningBrowser>& browsers) {
        for (const RunningBrowser& b : browsers)
            if (std::find(b.processes.begin(), b.processes.end(), pid) != b.processes.end())
                return b;
        return RunningBrowser{};
    };
    RunningBrowser found;
    for (int i = 0; i < 5000 && found.processes.empty(); ++i) {
        found = ours(hasBrowserRun(currentBrowserLayout(), process::runningProcesses));
        if (found.processes.empty())
            std::this_thread::yield();
    }
    ASSERT_FALSE(found.processes.empty());
    EXPECT_EQ(found.name, "Firefox");
    EXPECT_EQ(found.bundleIdentifier, "org.mozilla.firefox");
    // Only our own process is asked to quit, whatever else runs here.
    found.processes = {pid};
    EXPECT_TRUE(quitBrowser(found));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}
