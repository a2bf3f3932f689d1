#include "model/Function.h"
#include "platform/ChildProcess.h"
#include "platform/MemoryStatistics.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/Reachability.h"
#include "platform/SystemInfo.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessaly;

TEST(MemoryStatistics, MapsMeminfoToPages) {
    auto p = memstat::parseMeminfo("MemTotal:       16000 kB\n"
                                   "MemFree:         4000 kB\n"
                                   "MemAvailable:    9000 kB\n"
                                   "Active:          6000 kB\n"
                                   "Inactive:        2000 kB\n");
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(p->free, 1000);
    EXPECT_DOUBLE_EQ(p->active, 1500);
    EXPECT_DOUBLE_EQ(p->inactive, 500);
    EXPECT_DOUBLE_EQ(p->wired, 1000);
    EXPECT_FALSE(memstat::parseMeminfo("MemTotal: 10 kB\nMemFree: 5 kB\n"));
    // Wired never goes below zero when the fields overlap.
    EXPECT_DOUBLE_EQ(
        memstat::parseMeminfo("MemTotal: 8 kB\nMemFree: 4 kB\nActive: 4 kB\nInactive: 4 kB\n")
            ->wired,
        0);
}

TEST(MemoryStatistics, SampleReadsTheFixtureRoot) {
    test::TempTree root;
    test::ScopedEnv env("TESSALY_ROOT", root.root());
    EXPECT_FALSE(Function::shareMemoryFunction().memoryData());
    root.file("proc/meminfo",
              "MemTotal: 400 kB\nMemFree: 40 kB\nActive: 80 kB\nInactive: 120 kB\n");
    auto m = Function::shareMemoryFunction().memoryData();
    ASSERT_TRUE(m);
    EXPECT_DOUBLE_EQ(m->free, 10);
    EXPECT_DOUBLE_EQ(m->wired, 40);
}

TEST(Function, MissingHelperReturnsAtOnce) {
    Function f;
    f.setHelperPath("/nonexistent/Quobble");
    EXPECT_FALSE(f.clearMemory());
    EXPECT_FALSE(f.isCleaning());
    f.stopClean(); // nothing running: no effect
}

TEST(Function, StopEndsARunningHelper) {
    test::TempTree t;
    std::string helper = t.file("Quobble", "#!/bin/sh\nexec sleep 30\n");
    ::chmod(helper.c_str(), 0755);
    Function f;
    f.setHelperPath(helper);
    auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        while (!f.isCleaning())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        f.stopClean();
    });
    EXPECT_TRUE(f.clearMemory());
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(f.isCleaning());
}

// The shipped memory-release program ends on its own, and refuses what it does not know.
TEST(Quobble, EndsOnItsOwnAndRefusesUnknownArguments) {
    const std::string quobble = paths::join(paths::resourcesDir(), "Quobble");
    ASSERT_EQ(::access(quobble.c_str(), X_OK), 0) << quobble;
    EXPECT_EQ(runProcess(quobble, {"--no-drop-caches", "--max-seconds", "5"}, ChildOutput::Discard),
              0);
    EXPECT_EQ(runProcess(quobble, {"--bogus"}, ChildOutput::Discard), 2);
}

TEST(Reachability, DefaultRouteMeansReachable) {
    const char* header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n";
    std::string withDefault =
        std::string(header) + "eth0\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\n";
    std::string onlyLocal = std::string(header) +
                            "eth0\t0000000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\n" +
                            "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\n";
    EXPECT_TRUE(reachability::hasDefaultRoute(withDefault.c_str(), ""));
    EXPECT_FALSE(reachability::hasDefaultRoute(onlyLocal.c_str(), ""));
    std::string v6 = std::string(32, '0') + " 00 " + std::string(32, '0') + " 00 " +
                     "fe800000000000000000000000000001 00000400 00000001 00000000 00000003 eth0\n";
    EXPECT_TRUE(reachability::hasDefaultRoute("", v6.c_str()));
    EXPECT_FALSE(reachability::hasDefaultRoute("garbage", "more garbage\n"));
}

TEST(SystemInfo, PreferredLanguagesFromTheLocale) {
    test::ScopedEnv language("LANGUAGE", "pt_BR:en");
    EXPECT_EQ(sysinfo::preferredLanguages(), (std::vector<std::string>{"pt_BR", "en"}));
    test::ScopedEnv none("LANGUAGE", "");
    test::ScopedEnv all("LC_ALL", "de_DE.UTF-8@euro");
    EXPECT_EQ(sysinfo::preferredLanguages().front(), "de_DE");
    test::ScopedEnv c("LC_ALL", "C");
    EXPECT_EQ(sysinfo::preferredLanguages().front(), "en");
}

TEST(SystemInfo, KeyboardLayoutsGiveInputLanguages) {
    test::TempTree root;
    test::ScopedEnv env("TESSALY_ROOT", root.root());
    EXPECT_TRUE(sysinfo::inputSourceLanguages().empty());
    root.file("etc/default/keyboard",
              "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"us,ru,xx\"\nXKBVARIANT=\",\"\n");
    EXPECT_EQ(sysinfo::inputSourceLanguages(), (std::vector<std::string>{"en", "ru"}));
}

TEST(PropertyList, ReadsBothFormatsAndRejectsGarbage) {
    PlistValue v(PlistValue::Dict{
        {"CFBundleIdentifier", PlistValue("com.example.Editor")},
        {"n", PlistValue(-7)},
        {"list", PlistValue(PlistValue::Array{PlistValue(true), PlistValue(1.5)})}});
    for (auto format : {plist::Format::Binary, plist::Format::Xml}) {
        auto bytes = plist::serialize(v, format);
        ASSERT_TRUE(bytes);
        auto back = plist::parse(*bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, v);
    }
    std::string junk = "bplist00 not really";
    EXPECT_FALSE(plist::parse(reinterpret_cast<const std::uint8_t*>(junk.data()), junk.size()));
    EXPECT_FALSE(plist::parse(nullptr, 0));
    EXPECT_FALSE(plist::readFile("/nonexistent/Info.plist"));
}
