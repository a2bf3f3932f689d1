#include "platform/RunningApplications.h"

#include "platform/PropertyList.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaly;

TEST(RunningApplications, BundlesByIdentifierOtherProgramsByNameOneEntryAnApplication) {
    test::TempTree t;
    t.dir("Apps/Tool.app/Contents/MacOS");
    plist::writeFile(t.path("Apps/Tool.app/Contents/Info.plist"),
                     PlistValue(PlistValue::Dict{{"CFBundleIdentifier", "com.maker.Tool"}}),
                     plist::Format::Xml);
    // pid, executable, parent
    struct Process {
        int pid;
        std::string exe;
        int parent;
    };
    const Process processes[] = {
        {1, "/sbin/init", 0},
        {200, t.path("Apps/Tool.app/Contents/MacOS/Tool"), 1},
        {300, "/usr/lib/firefox-esr/firefox-esr", 1},
        {301, "/usr/lib/firefox-esr/firefox-esr", 300}, // a content process of the browser
        {400, t.path("Apps/Gone.app/Contents/MacOS/Gone") + " (deleted)", 1},
    };
    for (const Process& p : processes) {
        std::string folder = "proc/" + std::to_string(p.pid);
        t.symlink(folder + "/exe", p.exe);
        t.file(folder + "/stat",
               std::to_string(p.pid) + " (a (b) c) S " + std::to_string(p.parent) + " 1 1 0\n");
    }
    t.dir("proc/500"); // a kernel thread: no executable
    t.file("proc/meminfo", "");

    std::vector<RunningApplication> apps = runningApplications(t.path("proc"));
    std::vector<std::tuple<int, std::string, std::string>> got;
    for (const RunningApplication& a : apps)
        got.emplace_back(a.pid, a.bundleIdentifier, a.localizedName);
    EXPECT_EQ(got, (std::vector<std::tuple<int, std::string, std::string>>{
                       {1, "init", "init"},
                       {200, "com.maker.Tool", "Tool"},
                       {300, "firefox-esr", "firefox-esr"},
                       {400, "Gone", "Gone"},
                   }));
}
