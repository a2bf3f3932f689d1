// The crash and install reports: a crash parks its report, the next start sends
// it once, the install report goes on the very first start only, and nothing is
// sent without a host or with reports turned off.
#include "model/Reports.h"
#include "model/SettingKeys.h"
#include "platform/CrashHandler.h"
#include "platform/FileRemoval.h"
#include "platform/UserDefaults.h"
#include "tests/support/HttpListener.h"
#include "tests/support/TempTree.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;

namespace {

// A child that installs the handler and dies of the signal; its status.
int crashChild(int sig) {
    pid_t child = ::fork();
    if (child == 0) {
        if (!crash::install(reports::crashFilePath()))
            ::_exit(90);
        ::raise(sig);
        ::_exit(91);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

} // namespace

TEST(Reports, ACrashIsParkedThenSentOnceByTheNextStart) {
    test::FixtureRoots m;
    UserDefaults defaults(m.t.path("defaults.plist"));

    // The crashing children are forked before the listener's thread exists: a
    // child forked while another thread holds the allocator's lock would hang.
    for (int sig : {SIGSEGV, SIGABRT}) {
        int status = crashChild(sig);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), sig); // it died of the same signal
        std::string report = test::readText(reports::crashFilePath());
        EXPECT_NE(report.find(sig == SIGSEGV ? "SIGSEGV" : "SIGABRT"), std::string::npos) << report;
        EXPECT_NE(report.find("Backtrace:"), std::string::npos);
    }
    // The prepared file of a run that did not crash goes with it.
    ASSERT_TRUE(crash::install(reports::crashFilePath() + ".other"));
    crash::uninstall();
    EXPECT_FALSE(m.t.exists("home/Library/Application Support/Tessaly/crash.txt.other.partial-" +
                            std::to_string(::getpid())));

    test::HttpListener server;
    test::ScopedEnv url("TESSALY_REPORT_URL", server.baseUrl());
    const std::string text = test::readText(reports::crashFilePath());
    reports::onStart(defaults, false); // the second start
    reports::onStart(defaults, false); // the third
    auto sent = server.requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].path, "/api/errortext");
    EXPECT_EQ(sent[0].body, "error_content=" + text);
    EXPECT_FALSE(fileops::itemExists(reports::crashFilePath()));
}

TEST(Reports, TheInstallReportOnTheFirstStartOnlyAndNothingWithoutHostOrConsent) {
    test::FixtureRoots m;
    test::HttpListener server;
    UserDefaults defaults(m.t.path("defaults.plist"));
    m.t.file("home/Library/Application Support/Tessaly/crash.txt", "an old crash");

    // No host: nothing is sent and the crash file stays for the user to read.
    reports::onStart(defaults, true);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(fileops::itemExists(reports::crashFilePath()));

    // A host, but reports turned off.
    defaults.setString(keys::reportHost, server.baseUrl());
    defaults.setBool(keys::sendReports, false);
    reports::onStart(defaults, true);
    EXPECT_TRUE(server.requests().empty());

    defaults.setBool(keys::sendReports, true);
    reports::onStart(defaults, true);  // the very first start
    reports::onStart(defaults, false); // later starts
    auto sent = server.requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].path, "/api/setup");
    EXPECT_EQ(sent[0].body, "");
    EXPECT_EQ(sent[1].path, "/api/errortext");
}
