// Reading what apt-get's simulation says a removal would do.
#include "platform/PackageTools.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(PackageTools, TheSimulationSaysWhichPackagesGoAndWhatTheyFree) {
    struct Case {
        const char* output;
        int status;
        bool ok;
        std::vector<std::string> removed;
        std::optional<std::int64_t> freed;
        const char* error;
    };
    const Case cases[] = {
        {"Reading package lists...\nThe following packages will be REMOVED:\n  htop\n"
         "After this operation, 1,234 kB disk space will be freed.\nRemv htop [3.2.2-2]\n",
         0,
         true,
         {"htop"},
         1234000,
         ""},
        {"Purg vim [2:9.0]\nPurg vim-gtk3:amd64 [2:9.0] [vim-common:amd64 ]\r\n"
         "After this operation, 12.5 MB disk space will be freed.\n",
         0,
         true,
         {"vim", "vim-gtk3:amd64"},
         12500000,
         ""},
        {"Package 'htop' is not installed, so not removed\n",
         0,
         false,
         {},
         std::nullopt,
         "apt-get would remove nothing"},
        {"E: Unable to locate package nosuch\n",
         100,
         false,
         {},
         std::nullopt,
         "Unable to locate package nosuch"},
        // A line that merely mentions a removal is not one.
        {"Note, selecting 'Remv x' for regex\nRemvx y\n", 0, false, {}, std::nullopt, "nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const packages::AptSimulation sim = packages::parseAptSimulation(c.output, c.status);
        EXPECT_EQ(sim.ok, c.ok);
        EXPECT_EQ(sim.removed, c.removed);
        EXPECT_EQ(sim.freed, c.freed);
        EXPECT_NE(sim.error.find(c.error), std::string::npos) << sim.error;
    }
}

TEST(PackageTools, OnlyPackageNamesPassAsPackages) {
    for (const char* good : {"htop", "libc6:amd64", "g++-12", "python3.11"})
        EXPECT_TRUE(packages::isPackageName(good)) << good;
    for (const char* bad :
         {"", "-y", "--allow-remove-essential", "a", "Htop", "x y", "x;rm", "pkg:", "pkg:AMD"})
        EXPECT_FALSE(packages::isPackageName(bad)) << bad;
}
