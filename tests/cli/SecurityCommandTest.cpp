// tessaly-cli security: the real binary with the shipped signatures and a
// signature file of the user's own.
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/ScopedMount.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

const char* kEicar = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

class SecurityCommand : public test::InLayout, public testing::Test {};
class SecurityCommandPartial : public testing::Test {};

} // namespace

TEST_P(SecurityCommand, ScanCountsByKindAndCleanRemovesWhatItFound) {
    test::FixtureRoots m;
    const std::string folder = m.t.dir("home/Downloads");
    const std::string eicar = m.t.file("home/Downloads/eicar.com", kEicar);
    const std::string kit = m.t.file("home/Downloads/kit.bin", "ZZZZZ" + std::string(100, '.'));
    const std::string sigs =
        m.t.file("mine.ndb", "Exploit.Kit.Test:0:0:5a5a5a5a5a\nWild.Card:0:*:41??42\n");

    auto run = cli({"security", "scan", folder, "--signatures", sigs, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    ASSERT_EQ(out["findings"].size(), 2u);
    EXPECT_EQ(out["spyware"], 1);
    EXPECT_EQ(out["viruses"], 1);
    EXPECT_EQ(out["scanned"], 2);
    EXPECT_EQ(out["signatures"]["skippedLines"], 1);
    EXPECT_TRUE(out["time"].get<std::string>().find(" s") != std::string::npos);

    EXPECT_EQ(cli({"security", "scan"}).exitCode, 2); // nothing said to scan
    EXPECT_EQ(cli({"security", "scan", "--home", folder}).exitCode, 2);

    auto dry = nlohmann::json::parse(cli({"security", "clean", folder, "--json"}).standardOutput);
    EXPECT_EQ(dry["plan"].size(), 1u); // only the shipped signatures without --signatures
    auto clean = cli({"security", "clean", folder, "--signatures", sigs, "--yes", "--json"});
    ASSERT_EQ(clean.exitCode, 0) << clean.standardError;
    EXPECT_EQ(nlohmann::json::parse(clean.standardOutput)["removed"], 2);
    EXPECT_FALSE(m.t.exists("home/Downloads/eicar.com"));
    EXPECT_FALSE(m.t.exists("home/Downloads/kit.bin"));

    // The Home Scan of the layout: on a Linux home, a program that starts
    // itself is found too; a cache is never looked at.
    const std::string started = m.t.file("home/.config/autostart/kit.desktop", kEicar);
    const std::string cached = m.t.file("home/.cache/kit/eicar.com", kEicar);
    auto home = cli({"security", "clean", "--home", "--yes", "--json"});
    ASSERT_EQ(home.exitCode, 0) << home.standardError;
    EXPECT_EQ(nlohmann::json::parse(home.standardOutput)["removed"], isLinux() ? 1 : 0);
    EXPECT_EQ(m.t.exists("home/.config/autostart/kit.desktop"), !isLinux());
    EXPECT_EQ(test::readText(cached), kEicar);

    const std::string held = m.t.file("home/Downloads/held/eicar.com", kEicar);
    test::Unremovable lock(held);
    if (!lock.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    auto partial = cli({"--no-helper", "security", "clean", folder, "--yes", "--json"});
    EXPECT_EQ(partial.exitCode, 3) << partial.standardError;
    EXPECT_TRUE(m.t.exists("home/Downloads/held/eicar.com"));
}

// A clean whose scan could not look at part of what it was given (a folder it
// may not read, another file system inside it) did not do all it was asked: it
// removes what it found and ends as partial.
TEST_F(SecurityCommandPartial, ACleanThatCouldNotLookEverywhereIsPartial) {
    test::FixtureRoots m;
    const std::string folder = m.t.dir("home/Downloads");
    m.t.file("home/Downloads/eicar.com", kEicar);
    const std::string hidden = m.t.dir("home/Downloads/elsewhere");
    std::unique_ptr<test::ScopedMount> mount;
    if (::geteuid() == 0) { // root reads every folder: another file system, then
        mount = std::make_unique<test::ScopedMount>(hidden);
        if (!mount->ok())
            GTEST_SKIP() << mount->why();
    }
    const std::string unseen = m.t.file("home/Downloads/elsewhere/eicar.com", kEicar);
    if (!mount) {
        ASSERT_EQ(::chmod(hidden.c_str(), 0), 0);
    }

    auto run = cli({"security", "clean", folder, "--yes", "--json"});
    if (!mount)
        ::chmod(hidden.c_str(), 0755);
    EXPECT_EQ(run.exitCode, 3) << run.standardError;
    auto out = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(out["removed"], 1);
    ASSERT_EQ(out["problems"].size(), 1u);
    EXPECT_EQ(out["problems"][0]["path"], hidden);
    EXPECT_FALSE(m.t.exists("home/Downloads/eicar.com"));
    EXPECT_EQ(test::readText(unseen), kEicar);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SecurityCommand, test::bothLayouts());
