// The App Leftover module's scanner on fixture libraries, and the cleaning of
// what it found.
#include "ScanCode/system/AppLeftoverCleanner.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "model/SettingModel.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/ScanCode/uninstall/BundleFixture.h"
#include "tests/support/DiskUsage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

using namespace tessaly;
using test::SystemMachine;

namespace {

// An installed application with its own identifier and executable name.
void install(SystemMachine& m, const std::string& name, const std::string& identifier,
             const std::string& executable) {
    std::string bundle = test::makeBundle(m.t, "root/Applications/" + name, identifier);
    PlistValue::Dict info;
    info["CFBundleIdentifier"] = identifier;
    info["CFBundleExecutable"] = executable;
    plist::writeFile(bundle + "/Contents/Info.plist", PlistValue(info), plist::Format::Xml);
}

AppItemRef app(const std::string& name, const std::string& identifier,
               const std::string& executable) {
    auto a = std::make_shared<AppItem>();
    a->name = name;
    a->bundleID = identifier;
    a->executableString = executable;
    return a;
}

ScanItemList scanLeftovers(SystemMachine& m) {
    m.buildCatalogue();
    AppLeftoverCleanner op(m.catalogue, nullptr);
    return op.scanAppLeftOver();
}

std::map<std::string, ScanItem> byName(const ScanItemList& items) {
    std::map<std::string, ScanItem> out;
    for (const auto& i : items)
        out[i->name] = i;
    return out;
}

// The fixture libraries: leftovers of "gone" applications, entries never listed
// and entries the installed Editor owns.
void buildLibraries(SystemMachine& m) {
    const std::string hp = "home/Library/Preferences/", sp = "root/Library/Preferences/";
    for (const char* f :
         {"com.gone.app.plist", "com.vendor.helper.plist", "org.cups.printers.plist",
          "org.postgresql.postgres.plist", "com.apple.finder.plist", "org.Com.Apple.thing.plist",
          ".com.hidden.plist", "com.vendor.editor.plist", "Loose.plist"})
        m.t.file(hp + f, "p");
    m.t.file(sp + "org.cups.printers.plist", "p");
    m.t.file(sp + "net.gone.daemon.plist", "p");
    m.t.sizedFile("home/Library/Saved Application State/com.gone.app.savedState/data", 5000);
    m.t.sizedFile("home/Library/Saved Application State/com.gone.app.savedState/W.bundle/big",
                  100000);
    const std::string ha = "home/Library/Application Support/";
    m.t.file(ha + "VendorCo/com.gone.tool/settings", "s");
    m.t.file(ha + "Editor/com.gone.inside.plist", "s");
    m.t.file(ha + "Plain.txt", "s");
    m.t.file(ha + "CrashReporter/Gone_2026-01-01.crash", "c");
    m.t.file(ha + "CrashReporter/EditorBin_2026-01-01.crash", "c");
    m.t.file(ha + "CrashReporter/Edit", "c");
    m.t.file("root/Library/Application Support/CrashReporter/Gone_2026-01-02.crash", "c");
    m.t.file("root/Library/Application Support/com.gone.sys/x", "x");
    install(m, "Editor.app", "com.vendor.editor", "EditorBin");
}

} // namespace

TEST(AppLeftover, OwnershipByIdentifierExecutableNameOrSharedComponent) {
    SystemMachine m;
    AppLeftoverCleanner op(m.catalogue, nullptr);
    const AppItemList apps{app("Editor.app", "com.vendor.editor", "EditorBin"),
                           app("Tool.app", "org.toolmaker.tool", "")};
    struct Case {
        const char* name;
        bool owned;
    };
    const Case cases[] = {
        {"COM.VENDOR.EDITOR.plist", true},     // contains an identifier
        {"editorbin_2026-01-01.crash", true},  // contains an executable name
        {"Edit", true},                        // an application's name contains it
        {"net.vendor.agent.plist", true},      // shares "vendor" after the first component
        {"org.EDITOR.x", true},                // shares "editor"
        {"com.toolmaker.updater.plist", true}, // second application, shared component
        {"vendor", false},                     // one component never shares
        {"com.other.tool2.plist", false},
        {"com.vendorx.thing", false}, // components compare whole
        {"Anything.crash", false},    // an empty executable name never matches
        {"com..plist", false},        // empty components never match
    };
    for (const Case& c : cases)
        EXPECT_EQ(op.matchAppNameWithFile(c.name, apps), c.owned) << c.name;
    EXPECT_FALSE(op.matchAppNameWithFile("com.vendor.x", {}));
}

TEST(AppLeftover, ListsUnownedReverseDomainEntriesAndUserCrashReports) {
    SystemMachine m;
    SettingModel::shareSettingModel().blockSize = 4096;
    buildLibraries(m);
    MainQueue::drain();
    std::vector<std::string> visited;
    ObserverToken token{NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            pathUpdateNotification, [&](const Notification& n) {
                                visited.push_back(std::any_cast<std::string>(n.object));
                            })};

    ScanItemList items = scanLeftovers(m);
    MainQueue::drain();

    std::vector<std::string> names;
    for (const auto& i : items)
        names.push_back(i->name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Gone_2026-01-01.crash", "com.gone.app.plist",
                                               "com.gone.app.savedState", "com.gone.sys",
                                               "com.gone.tool", "net.gone.daemon.plist"}));
    auto found = byName(items);
    ScanItem saved = found["com.gone.app.savedState"];
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->path, m.home + "/Library/Saved Application State/com.gone.app.savedState");
    EXPECT_TRUE(saved->isCheck);
    EXPECT_TRUE(saved->isDir);
    EXPECT_EQ(saved->icon, saved->path);
    // A leftover goes whole, the package inside it too: its size is what du
    // says removing it gives back.
    EXPECT_EQ(saved->fileSize, test::duBytes({saved->path}));
    EXPECT_GT(saved->fileSize, 100000);
    EXPECT_EQ(found["com.gone.app.plist"]->fileSize,
              test::duBytes({found["com.gone.app.plist"]->path}));
    EXPECT_FALSE(found["com.gone.app.plist"]->isDir);

    // Last pushed is visited first; the plain-named support folder nobody owns is
    // visited, the one Editor owns is not, and no folder is listed twice.
    std::vector<std::string> places = AppLeftoverCleanner::getAppLeftOverPathes();
    ASSERT_EQ(places.size(), 8u);
    EXPECT_EQ(places.front(), m.home + "/Library/Preferences");
    EXPECT_EQ(places.back(), m.root + "/Library/Application Support");
    ASSERT_FALSE(visited.empty());
    EXPECT_EQ(visited.front(), places.back());
    EXPECT_EQ(visited.back(), places.front());
    const std::string support = m.home + "/Library/Application Support/";
    EXPECT_EQ(std::count(visited.begin(), visited.end(), support + "VendorCo"), 1);
    EXPECT_EQ(std::count(visited.begin(), visited.end(), support + "Editor"), 0);
    EXPECT_EQ(std::count(visited.begin(), visited.end(), support + "CrashReporter"), 1);
}

TEST(AppLeftover, AnApplicationSharingTheSecondComponentClaimsTheLeftovers) {
    SystemMachine m;
    buildLibraries(m);
    ASSERT_EQ(byName(scanLeftovers(m)).count("com.gone.app.plist"), 1u);

    install(m, "Returned.app", "org.gone.returned", "ReturnedBin");
    auto found = byName(scanLeftovers(m));
    EXPECT_EQ(found.count("com.gone.app.plist"), 0u);
    EXPECT_EQ(found.count("net.gone.daemon.plist"), 0u);
    EXPECT_EQ(found.count("com.gone.tool"), 0u);
    // A crash report shares nothing but its name with the applications.
    EXPECT_EQ(found.count("Gone_2026-01-01.crash"), 1u);
}

TEST(AppLeftover, CleaningRemovesTheTickedLeftoversOnly) {
    SystemMachine m;
    buildLibraries(m);
    auto manager = m.manager();
    ScanItemList items = scanLeftovers(m);
    auto found = byName(items);
    ASSERT_TRUE(found["com.gone.tool"] && found["com.gone.app.savedState"]);
    found["com.gone.tool"]->isCheck = false;
    manager->scanDisk->finishScan(items, sysmodule::AppLeftover);

    CleanReport report = manager->clearDiskFile();

    EXPECT_EQ(report.removeCount, static_cast<std::int64_t>(items.size()) - 1);
    EXPECT_FALSE(m.t.exists("home/Library/Saved Application State/com.gone.app.savedState"));
    EXPECT_FALSE(m.t.exists("home/Library/Preferences/com.gone.app.plist"));
    EXPECT_FALSE(
        m.t.exists("home/Library/Application Support/CrashReporter/Gone_2026-01-01.crash"));
    EXPECT_TRUE(m.t.exists("home/Library/Application Support/VendorCo/com.gone.tool/settings"));
    EXPECT_TRUE(m.t.exists("home/Library/Preferences/org.cups.printers.plist"));
    EXPECT_TRUE(m.t.exists("home/Library/Preferences/com.vendor.editor.plist"));
    EXPECT_TRUE(m.t.exists("home/Library/Application Support/CrashReporter/Edit"));
    EXPECT_TRUE(m.t.exists("root/Library/Application Support/CrashReporter/Gone_2026-01-02.crash"));
    EXPECT_EQ(test::namesOf(manager->moduleItems(sysmodule::AppLeftover)),
              std::vector<std::string>{"com.gone.tool"});
}
