// The related-file search: names compared on part boundaries, the support
// folder's one level more, temporary folders, launch jobs, login item and dock.
#include "ScanCode/uninstall/NameMatch.h"
#include "ScanCode/uninstall/RelatedFolders.h"
#include "model/FolderWalk.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/KeptList.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace tessaly;
using test::makeApp;
using test::named;

namespace {

std::set<std::string> fileRecords(const SubAppFileList& records) {
    std::set<std::string> out;
    for (const SubAppFileRef& r : records)
        if (r->type == subfile::File)
            out.insert(r->path);
    return out;
}

const SubAppFileObj* record(const SubAppFileList& records, const std::string& path) {
    for (const SubAppFileRef& r : records)
        if (r->path == path)
            return r.get();
    return nullptr;
}

} // namespace

TEST(NameMatch, ComparesOnPartBoundaries) {
    struct Case {
        const char* name;
        const char* needle;
        bool ignoreCase;
        bool found;
    };
    const Case cases[] = {
        {"com.maker.Tool.plist", "com.maker.Tool", false, true},
        {"com.maker.Tool", "com.maker.Tool", false, true},
        {"group.com.maker.Tool", "com.maker.Tool", false, true},
        {"com.maker.Tool-helper.log", "com.maker.Tool", false, true},
        {"com.maker.Tool 2", "com.maker.Tool", false, true},
        {"com.maker.Tool2.plist", "com.maker.Tool", false, true}, // a copy's number
        {"com.maker.Toolbox.plist", "com.maker.Tool", false, false},
        {"xcom.maker.Tool.plist", "com.maker.Tool", false, false},
        {"com.maker.Tool2b.plist", "com.maker.Tool", false, false},
        {"COM.MAKER.TOOL.plist", "com.maker.Tool", false, false},
        {"COM.MAKER.TOOL.plist", "com.maker.Tool", true, true},
        {"com.maker.Tool", "maker", true, true},
        {"com.maker.Tool", "ak", true, false},
        {"anything", "", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(namematch::containsParts(c.name, c.needle, c.ignoreCase), c.found)
            << c.name << " / " << c.needle;
    EXPECT_TRUE(namematch::containsWordThenUnderscore("Tool_2", "Tool"));
    EXPECT_TRUE(namematch::containsWordThenUnderscore("crash.Tool_2019.log", "Tool"));
    EXPECT_FALSE(namematch::containsWordThenUnderscore("MyTool_2", "Tool"));
    EXPECT_FALSE(namematch::containsWordThenUnderscore("Tool", "Tool"));
    EXPECT_FALSE(namematch::containsWordThenUnderscore("_", ""));
}

TEST(RelatedFiles, FindsWhatCarriesTheApplicationsNamesAndNothingThatMerelyBeginsWithThem) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    const std::string bundle = makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    makeApp(t, "root/Applications/Other.app", "com.other.Other", "Other");
    const std::string lib = "home/Library/";
    t.sizedFile(lib + "Caches/com.maker.Tool/cache.db", 3000);
    std::set<std::string> expected = {
        bundle,
        t.file(lib + "Preferences/com.maker.Tool.plist", "prefs"),
        t.path(lib + "Caches/com.maker.Tool"),
        t.dir(lib + "Application Support/Tool"),
        t.dir(lib + "Application Support/maker/Tool"), // one level into the maker's folder
        t.dir(lib + "Saved Application State/com.maker.Tool.savedState"),
        t.file(lib + "Logs/Tool_2019-01-01.log", "log"),
        t.dir("root/Library/Application Support/Tool_2"),
        t.file("tmp/T/com.maker.Tool.tmp", "t"),
        t.dir("tmp/C/com.maker.Tool"),
    };
    // Holding the identifier's last part makes no folder the application's.
    for (const char* other :
         {"Preferences/com.maker.Toolbox.plist", "Caches/Toolkit/x", "Caches/MyTool_2/x",
          "Application Support/maker/Other/x", "Application Support/maker/Toolbox/x",
          "Application Support/Toolbox/x", "Application Support/ak/Tool/x",
          "Preferences/com.other.Other.plist"})
        t.file(lib + other, "x");
    t.dir("root/Library/Application Support/Toolkit");
    t.file("tmp/T/com.maker.Toolbox", "x");

    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    AppItemRef tool = named(engine.allApplicationsForUninstall(), "Tool");
    ASSERT_TRUE(tool);
    tool->setItemEnable(true);
    SubAppFileListRef records = engine.relatedFiles(tool);
    EXPECT_EQ(fileRecords(*records), expected);

    // The bundle first, then by size, larger first; every record ticked.
    ASSERT_FALSE(records->empty());
    EXPECT_EQ((*records)[0]->path, bundle);
    for (std::size_t i = 2; i < records->size(); ++i)
        EXPECT_GE((*records)[i - 1]->size, (*records)[i]->size) << (*records)[i]->path;
    EXPECT_TRUE(std::all_of(records->begin(), records->end(),
                            [](const SubAppFileRef& r) { return r->isCheck; }));
    EXPECT_EQ(record(*records, t.path(lib + "Caches/com.maker.Tool"))->size,
              directorySize(t.path(lib + "Caches/com.maker.Tool")));

    // Searched once a run: a second selection shows the same records.
    t.file(lib + "Preferences/com.maker.Tool.extra.plist", "late");
    EXPECT_EQ(engine.relatedFiles(tool), records);
    // A new search sees it, unticked when the item is not fully ticked.
    tool->isSelected = 1;
    SubAppFileList again = engine.deleteFiles(*tool);
    EXPECT_TRUE(fileRecords(again).count(t.path(lib + "Preferences/com.maker.Tool.extra.plist")));
    EXPECT_TRUE(std::none_of(again.begin(), again.end(),
                             [](const SubAppFileRef& r) { return r->isCheck; }));
}

TEST(RelatedFiles, ASupportFolderIsNamedForTheApplicationAndNoOtherApplicationCouldClaimIt) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    makeApp(t, "root/Applications/Home.app", "com.home.App", "App");
    makeApp(t, "root/Applications/Evil.app", "com.evil.x", "xtool");
    makeApp(t, "root/Applications/Sync Studio.app", "com.vendor.Sync", "syncd");
    makeApp(t, "root/Applications/Sync Pro.app", "com.other.Sync", "syncpro");
    const std::string support = "home/Library/Application Support/";
    // Folders that merely hold one of the applications' names.
    for (const char* other : {"WhatsApp", "AppleScript", "Thunderbird App", "Firefox",
                              "SyncServices", "CloudSync", "xtools"})
        t.file(support + other + "/data", other);
    const std::string app = t.dir(support + "app");     // the identifier's last part, any case
    const std::string xtool = t.dir(support + "XTool"); // the executable's name
    const std::string studio = t.dir(support + "Sync Studio"); // the bundle's name
    const std::string shared = t.dir(support + "Sync");        // both Sync applications' last part
    const std::string cache = t.dir("home/Library/Caches/com.vendor.Sync");

    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    auto search = [&](const char* name) {
        AppItemRef item = named(engine.allApplicationsForUninstall(), name);
        EXPECT_TRUE(item) << name;
        item->setItemEnable(true);
        SubAppFileList records = engine.deleteFiles(*item);
        records.erase(records.begin()); // the bundle
        return records;
    };
    auto paths = [](const SubAppFileList& records) { return fileRecords(records); };
    EXPECT_EQ(paths(search("Home")), std::set<std::string>{app});
    EXPECT_EQ(paths(search("Evil")), std::set<std::string>{xtool});

    // What another installed application would take by the same rules is
    // listed, never ticked, and says why; the rest goes with the item.
    SubAppFileList sync = search("Sync Studio");
    EXPECT_EQ(paths(sync), (std::set<std::string>{studio, shared, cache}));
    for (const SubAppFileRef& r : sync) {
        const bool claimed = r->path == shared;
        EXPECT_EQ(r->isCheck, !claimed) << r->path;
        EXPECT_EQ(r->keptReason.empty(), !claimed) << r->path;
    }
    EXPECT_NE(record(sync, shared)->keptReason.find("Sync Pro"), std::string::npos);
    // Ticking the whole item does not tick it either; only the user, one by one.
    AppItem item = *named(engine.allApplicationsForUninstall(), "Sync Studio");
    item.fileDatas = std::make_shared<SubAppFileList>(sync);
    item.setItemEnable(true);
    EXPECT_FALSE(record(sync, shared)->isCheck);
    EXPECT_EQ(item.checkStatus(), 1);
}

TEST(RelatedFiles, ANameEqualToASearchedFolderNeverTakesThatFolder) {
    test::UninstallMachine u;
    makeApp(u.m.t, "root/Applications/Prefs.app", "", "Preferences");
    u.m.t.file("home/Library/Preferences/something.plist", "x");
    u.m.t.file("home/Library/Caches/Preferences/x", "x");
    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    AppItemRef prefs = named(engine.allApplicationsForUninstall(), "Prefs");
    ASSERT_TRUE(prefs);
    EXPECT_EQ(fileRecords(engine.deleteFiles(*prefs)),
              (std::set<std::string>{prefs->path, u.m.home + "/Library/Caches/Preferences"}));
}

TEST(RelatedFiles, TemporaryFoldersBesideTheProcesssOwn) {
    EXPECT_EQ(temporaryFoldersOf("/var/folders/xy/abc/T/"),
              (std::vector<std::string>{"/var/folders/xy/abc/T", "/var/folders/xy/abc/C"}));
    EXPECT_EQ(temporaryFoldersOf("/var/folders/xy/abc/T/com.zqk.Tessaly"),
              (std::vector<std::string>{"/var/folders/xy/abc/T", "/var/folders/xy/abc/C"}));
    // Not the per-user layout: the folder alone, never its parents ("/" for "/tmp").
    EXPECT_EQ(temporaryFoldersOf("/tmp"), std::vector<std::string>{"/tmp"});
}

TEST(RelatedFiles, LaunchJobsByProgramIdentifierAndMaker) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool", 7000);
    makeApp(t, "root/Applications/Xcode.app", "com.apple.dt.Xcode", "Xcode");
    const std::string agent =
        u.job("home/Library/LaunchAgents/com.maker.Tool.agent.plist", "com.maker.Tool.agent",
              "/Applications/Tool.app/Contents/MacOS/Tool", true);
    const std::string helper =
        u.job("root/Library/LaunchAgents/com.maker.Tool.helper.plist", "com.maker.Tool.helper",
              "/Library/Application Support/maker/Tool Helper.app/"
              "Contents/MacOS/Tool Helper",
              true);
    const std::string updater =
        u.job("root/Library/LaunchDaemons/com.maker.updater.plist", "com.maker.updater",
              "/Library/Application Support/maker/updater");
    u.job("root/Library/LaunchDaemons/com.apple.xcode.sync.plist", "com.apple.xcode.sync",
          "/usr/libexec/sync");
    u.job("root/Library/LaunchDaemons/com.maker.Toolbox.plist", "org.elsewhere.toolbox",
          "/usr/libexec/toolbox");
    t.file("root/Library/LaunchDaemons/broken.plist", "not a property list");

    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    AppItemRef tool = named(engine.allApplicationsForUninstall(), "Tool");
    ASSERT_TRUE(tool);
    SubAppFileList records = engine.deleteFiles(*tool);
    std::vector<std::string> jobs;
    for (const SubAppFileRef& r : records)
        if (r->type == subfile::LaunchJob)
            jobs.push_back(r->path);
    // The user's jobs first, then the system's (daemons, then agents).
    EXPECT_EQ(jobs, (std::vector<std::string>{agent, updater, helper}));
    // A job's description is its job record alone, never also a file record.
    EXPECT_FALSE(fileRecords(records).count(agent));

    const SubAppFileObj* own = record(records, agent);
    EXPECT_FALSE(own->system);
    EXPECT_EQ(own->identifier, "com.maker.Tool.agent");
    EXPECT_FALSE(own->appPath.has_value());
    // A job's record is its description: the space it takes, never its program's.
    EXPECT_EQ(own->size, test::duBytes({agent}));
    EXPECT_EQ(own->title(), "agent (Helper)");

    const SubAppFileObj* byIdentifier = record(records, helper);
    EXPECT_TRUE(byIdentifier->system);
    EXPECT_EQ(byIdentifier->appPath,
              std::optional<std::string>(u.m.root +
                                         "/Library/Application Support/maker/Tool Helper.app"));
    EXPECT_EQ(byIdentifier->title(), "Tool Helper.app (Deamon)");

    const SubAppFileObj* byMaker = record(records, updater);
    EXPECT_EQ(byMaker->size, test::duBytes({updater}));
    EXPECT_EQ(byMaker->title(), "updater (Deamon)");

    // A job of Apple's is never taken by maker, even for an application of Apple's.
    AppItemRef xcode = named(engine.allApplicationsForUninstall(), "Xcode");
    ASSERT_TRUE(xcode);
    for (const SubAppFileRef& r : engine.deleteFiles(*xcode))
        EXPECT_NE(r->type, subfile::LaunchJob) << r->path;

    // Two applications of the same maker: its job belongs to neither.
    makeApp(t, "root/Applications/Second.app", "com.maker.Second", "Second");
    SearchApplications shared(u.environment());
    shared.buildCatalogue();
    for (const SubAppFileRef& r :
         shared.deleteFiles(*named(shared.allApplicationsForUninstall(), "Tool")))
        EXPECT_NE(r->path, updater);
}

TEST(RelatedFiles, LoginItemDockTileAndTheProgramsOwnEntry) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    makeApp(t, "root/Applications/Tessaly.app", "com.zqk.Tessaly", "Tessaly");
    t.file("home/Library/Preferences/com.zqk.Tessaly.plist", "ours");
    u.loginItem("Tool", "/Applications/Tool.app");
    u.dock({{"com.maker.Tool", "Tool"}, {"com.zqk.Tessaly", "Tessaly"}});

    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    SubAppFileList records =
        engine.deleteFiles(*named(engine.allApplicationsForUninstall(), "Tool"));
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[records.size() - 2]->path, "Tool Login Item");
    EXPECT_EQ(records[records.size() - 2]->type, subfile::LoginItem);
    EXPECT_EQ(records.back()->path, "Tool Dock Icon");
    EXPECT_EQ(records.back()->type, subfile::DockEntry);
    EXPECT_EQ(records.back()->entryName, "com.maker.Tool");

    AppItemRef ours = named(engine.allApplicationsForUninstall(), "Tessaly");
    ASSERT_TRUE(ours);
    EXPECT_EQ(test::recordPaths(engine.deleteFiles(*ours)), std::vector<std::string>{ours->path});
}

// A kept path is never a record; a folder holding one is listed unticked.
TEST(RelatedFiles, WhatTheUserKeepsIsNeverARecord) {
    test::UninstallMachine u;
    auto& t = u.m.t;
    makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    const std::string lib = "home/Library/";
    const std::string prefs = t.file(lib + "Preferences/com.maker.Tool.plist", "prefs");
    const std::string support = t.dir(lib + "Application Support/Tool");
    t.file(lib + "Application Support/Tool/library.db", "mine");
    const std::string logs = t.file(lib + "Logs/Tool_2019-01-01.log", "log");
    test::KeptList kept({prefs, support + "/library.db"});
    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    AppItemRef tool = named(engine.allApplicationsForUninstall(), "Tool");
    ASSERT_TRUE(tool);
    tool->setItemEnable(true);
    SubAppFileListRef records = engine.relatedFiles(tool);
    EXPECT_FALSE(record(*records, prefs));
    ASSERT_TRUE(record(*records, support));
    EXPECT_FALSE(record(*records, support)->isCheck);
    EXPECT_EQ(record(*records, support)->keptReason, kHoldsKeptPathReason);
    ASSERT_TRUE(record(*records, logs));
    EXPECT_TRUE(record(*records, logs)->isCheck);
}
