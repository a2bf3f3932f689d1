// Broken login items and launchd jobs, and their removal from the list.
#include "ScanCode/system/BrokenLoginItemOperation.h"
#include "ScanCode/system/LoginItemManager.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "tests/ScanCode/system/SystemFixture.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>

using namespace tessaly;
using test::SystemMachine;

namespace {

void job(const test::TempTree& t, const std::string& relative, const PlistValue::Dict& contents) {
    std::string path = t.path(relative);
    t.dir(relative.substr(0, relative.rfind('/')));
    ASSERT_TRUE(plist::writeFile(path, PlistValue(contents), plist::Format::Xml));
}

PlistValue args(std::initializer_list<const char*> list) {
    PlistValue::Array a;
    for (const char* s : list)
        a.emplace_back(std::string(s));
    return PlistValue(a);
}

std::map<std::string, ScanItem> byPath(const ScanItemList& list) {
    std::map<std::string, ScanItem> out;
    for (const auto& i : list)
        out[i->path] = i;
    return out;
}

struct UpdateCount {
    int n = 0;
    ObserverToken token{NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            loginItemUpdateNotification, [this](const Notification&) { ++n; })};
};

} // namespace

TEST(BrokenLoginItems, JobsAreJudgedByTheProgramTheyRun) {
    SystemMachine m;
    m.t.file("root/Applications/Tool.app/Contents/MacOS/Tool", "x");
    m.t.file("home/bin/present.sh", "#!/bin/sh");
    std::string agents = "home/Library/LaunchAgents/";
    std::string sysDaemons = "root/Library/LaunchDaemons/";
    job(m.t, agents + "com.maker.present.plist",
        {{"Program", PlistValue("/Applications/Tool.app/Contents/MacOS/Tool")},
         {"ProgramArguments", args({"/gone/anything"})}});
    job(m.t, agents + "com.maker.gone.plist",
        {{"Program", PlistValue("/Applications/Gone.app/Contents/MacOS/Gone")}});
    job(m.t, agents + "com.maker.script.plist",
        {{"ProgramArguments", args({"/bin/sh", "-c", "", "/opt/maker/run-me.sh", "--flag"})}});
    job(m.t, agents + "com.maker.script-here.plist",
        {{"ProgramArguments", args({"/bin/sh", (m.home + "/bin/present.sh").c_str()})}});
    job(m.t, agents + "com.maker.shell-only.plist",
        {{"ProgramArguments", args({"/bin/sh", "-c"})}});
    job(m.t, sysDaemons + "com.maker.args.plist",
        {{"ProgramArguments", args({"/Library/Maker/daemon", "run"})}});
    job(m.t, "home/Library/LaunchDaemons/org.example.noprogram.plist",
        {{"Label", PlistValue("org.example.noprogram")}});
    m.t.file("root/Library/LaunchAgents/com.maker.damaged.plist", "<plist><dict><key>");
    m.t.file("root/Library/LaunchAgents/com.maker.readme.txt", "not a job");

    BrokenLoginItemOperation op(m.logins, nullptr);
    auto found = byPath(op.scanBrokenLoginItems());
    std::map<std::string, std::string> names;
    for (const auto& [path, item] : found) {
        names[path.substr(m.t.root().size() + 1)] = item->name;
        EXPECT_TRUE(item->isCheck);
        EXPECT_FALSE(item->isLogin);
        EXPECT_EQ(item->icon, path);
    }
    EXPECT_EQ(names, (std::map<std::string, std::string>{
                         {"home/Library/LaunchAgents/com.maker.gone.plist", "Gone"},
                         {"home/Library/LaunchAgents/com.maker.script.plist", "run-me.sh"},
                         // Only a shell and an option: the shell itself is the program.
                         {"home/Library/LaunchAgents/com.maker.shell-only.plist", "sh"},
                         {"home/Library/LaunchDaemons/org.example.noprogram.plist", "noprogram"},
                         {"root/Library/LaunchAgents/com.maker.damaged.plist", "damaged"},
                         {"root/Library/LaunchDaemons/com.maker.args.plist", "daemon"},
                     }));
}

TEST(BrokenLoginItems, LoginItemsWithoutATargetAreReportedByName) {
    SystemMachine m;
    m.t.dir("root/Applications/Works.app");
    m.t.dir("root/Volumes/Here/Tool.app");
    ASSERT_TRUE(m.loginStore->add({"Works", "/Applications/Works.app", false}));
    ASSERT_TRUE(m.loginStore->add({"Deleted", "/Applications/Deleted.app", true}));
    ASSERT_TRUE(m.loginStore->add({"Offline", "/Volumes/Unplugged/Tool.app", false}));
    ASSERT_TRUE(m.loginStore->add({"Mounted", "/Volumes/Here/Tool.app", false}));

    BrokenLoginItemOperation op(m.logins, nullptr);
    ScanItemList items = op.scanBrokenLoginItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(test::namesOf(std::make_shared<ScanItemList>(items)),
              (std::vector<std::string>{"Deleted", "Offline"}));
    for (const auto& i : items) {
        EXPECT_TRUE(i->isLogin);
        EXPECT_TRUE(i->isCheck);
        EXPECT_TRUE(i->path.empty());
    }
    auto data = m.logins.loginData();
    ASSERT_EQ(data.size(), 4u);
    EXPECT_TRUE(data[1].hidden);
    EXPECT_EQ(data[0].url, m.root + "/Applications/Works.app");
    EXPECT_EQ(m.logins.loginCount("works"), 1u);

    // A damaged list: no login item is broken, the jobs are still looked at.
    m.t.file("home/Library/Preferences/com.apple.loginitems.plist", "damaged");
    job(m.t, "home/Library/LaunchAgents/com.maker.x.plist", {{"Program", PlistValue("/gone")}});
    items = op.scanBrokenLoginItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_FALSE(items[0]->isLogin);
}

TEST(BrokenLoginItems, RemovalTakesOnlyBrokenEntriesAndRebuildsOnce) {
    SystemMachine m;
    m.t.dir("root/Applications/Same.app");
    for (LoginItemRecord r : {LoginItemRecord{"Same", "/Applications/Same.app", false},
                              LoginItemRecord{"Same", "/Applications/Missing.app", false},
                              LoginItemRecord{"Gone", "/Applications/Gone.app", false},
                              LoginItemRecord{"Other", "/Applications/Other.app", false}})
        ASSERT_TRUE(m.loginStore->add(r));
    m.logins.loadData();
    MainQueue::drain();
    m.logins.setItemChecked(3, true); // a tick that must survive the rebuild
    UpdateCount updates;

    ScanItemList results;
    for (const char* name : {"Same", "Gone"}) {
        auto o = std::make_shared<ScaneOuputObject>();
        o->name = name;
        o->isLogin = true;
        results.push_back(o);
    }
    m.logins.removeBreakLoginItemFromOuputObjs(results);
    auto left = m.loginStore->snapshot();
    ASSERT_TRUE(left);
    ASSERT_EQ(left->size(), 2u);
    EXPECT_EQ((*left)[0].location, "/Applications/Same.app"); // the working one stays
    EXPECT_EQ((*left)[1].name, "Other");

    EXPECT_TRUE(MainQueue::runUntil([&] { return updates.n >= 1; }, std::chrono::seconds(5)));
    MainQueue::runUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_EQ(updates.n, 1);
    auto data = m.logins.loginData();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_TRUE(data[1].isCheck);

    // Nothing matches: nothing changes.
    m.logins.removeBreakLoginItemFromOuputObjs(results);
    EXPECT_EQ(m.loginStore->snapshot()->size(), 2u);

    // removeLogin ticks by name, ignoring case, and deletes.
    m.logins.removeLogin("OTHER");
    EXPECT_EQ(m.loginStore->snapshot()->size(), 1u);
    m.logins.setItemHidden(0, true);
    EXPECT_TRUE((*m.loginStore->snapshot())[0].hidden);
}
