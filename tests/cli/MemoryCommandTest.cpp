// tessaly-cli memory: a sample from a fixture meminfo, and an optimisation by a
// stand-in for the memory-release program that frees fixture pages.
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

using namespace tessaly;

namespace {

test::CapturedRun cli(std::vector<std::string> arguments) {
    return test::runCaptured(TESSALY_CLI_PATH, std::move(arguments));
}

std::string meminfo(int freeKb) {
    return "MemTotal: 400000 kB\nMemFree: " + std::to_string(freeKb) +
           " kB\nActive: 100000 kB\nInactive: 100000 kB\n";
}

class MemoryCommand : public test::InLayout, public testing::Test {};

} // namespace

TEST_P(MemoryCommand, SampleAndOptimize) {
    test::FixtureRoots m;
    m.t.file("root/proc/meminfo", meminfo(40000));
    auto run = cli({"memory", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError;
    auto sample = nlohmann::json::parse(run.standardOutput);
    EXPECT_EQ(sample["freePages"], 10000);
    EXPECT_EQ(sample["wiredPages"], 40000);
    EXPECT_TRUE(sample["activePages"].is_number_integer());

    // The stand-in releases 20,000 kB: 5,000 pages.
    std::string resources = m.t.dir("resources");
    std::string fake = m.t.file("resources/Quobble", "#!/bin/sh\nprintf '" + meminfo(60000) +
                                                         "' > \"$TESSALY_ROOT/proc/meminfo\"\n");
    ::chmod(fake.c_str(), 0755);
    test::ScopedEnv where("TESSALY_RESOURCES", resources);
    auto optimized = cli({"memory", "optimize", "--json"});
    ASSERT_EQ(optimized.exitCode, 0) << optimized.standardError;
    EXPECT_EQ(nlohmann::json::parse(optimized.standardOutput)["freedPages"], 5000);

    ::unlink(fake.c_str());
    EXPECT_EQ(cli({"memory", "optimize"}).exitCode, 1); // nothing to run
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoryCommand, test::bothLayouts());
