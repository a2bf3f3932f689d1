// Removal: what is gone leaves its item and is counted, what stays is marked
// with its reason; login items, dock tiles and launch jobs; the helper pass.
#include "platform/Dispatch.h"
#include "platform/LoginItemsStore.h"
#include "platform/NotificationCenter.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tessaly;
using test::makeApp;
using test::named;

namespace {

// Tool (ticked whole, with a preference file, a login item, a dock tile and a
// user's launch agent) and Other (partly ticked).
struct TwoApps : test::UninstallMachine {
    std::string tool, other, prefs, cache, agent, otherPrefs, otherCache;
    std::unique_ptr<SearchApplications> engine;

    TwoApps() {
        auto& t = m.t;
        tool = makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
        other = makeApp(t, "root/Applications/Other.app", "com.other.Other", "Other");
        prefs = t.file("home/Library/Preferences/com.maker.Tool.plist", "prefs");
        cache = t.sizedFile("home/Library/Caches/com.maker.Tool/c", 2000);
        otherPrefs = t.file("home/Library/Preferences/com.other.Other.plist", "kept");
        otherCache = t.sizedFile("home/Library/Caches/com.other.Other", 1000);
        agent = job("home/Library/LaunchAgents/com.maker.Tool.agent.plist", "com.maker.Tool.agent",
                    "/Applications/Tool.app/Contents/MacOS/Tool");
        t.file("home/.config/systemd/user/com.maker.Tool.agent.service", "[Service]\n");
        loginItem("Tool", "/Applications/Tool.app");
        dock({{"com.third.Third", "Third"}, {"com.maker.Tool", "Tool"}});
        engine = std::make_unique<SearchApplications>(environment());
        engine->setTargets({"Tool", "com.other.Other"});
        EXPECT_FALSE(engine->scan({}, {}).stopped);
        // Other keeps its preference file.
        for (const SubAppFileRef& r : *item("Other")->fileDatas)
            if (r->path == otherPrefs)
                r->isCheck = false;
        item("Other")->isSelected = item("Other")->checkStatus();
    }
    AppItemRef item(const std::string& name) const {
        return named(engine->allApplicationsForUninstall(), name);
    }
};

} // namespace

TEST(AppRemoval, AFullyRemovedItemLeavesBothListsAndAPartlyTickedOneStays) {
    TwoApps a;
    ASSERT_EQ(a.item("Other")->isSelected, 1);
    EXPECT_TRUE(a.engine->hasCheck());
    EXPECT_EQ(a.engine->selectAllApps().size(), 2u);
    EXPECT_EQ(a.engine->allCheckAppSize(), SearchApplications::appCheckCount(*a.item("Tool")) +
                                               SearchApplications::appCheckCount(*a.item("Other")));
    const std::int64_t planned = a.engine->plan().bytes();
    std::vector<std::string> finished;
    auto token = NotificationCenter::defaultCenter().addObserver(
        appUninstallFinishNotification,
        [&](const Notification& n) { finished.push_back(std::any_cast<std::string>(n.object)); });
    const std::size_t recordsTicked =
        SearchApplications::selectFile(a.engine->selectAllApps()).size();

    UninstallCleanResult result = a.engine->cleanApps();
    MainQueue::drain();
    NotificationCenter::defaultCenter().removeObserver(token);

    for (const std::string& gone : {a.tool, a.prefs, a.cache, a.agent, a.other, a.otherCache})
        EXPECT_FALSE(fileops::itemExists(gone)) << gone;
    EXPECT_TRUE(fileops::itemExists(a.otherPrefs));
    EXPECT_TRUE(a.handed.empty()); // nothing failed: the helper is never asked
    EXPECT_EQ(finished.size(), recordsTicked);

    // Tool: bundle, preferences, caches, the agent's description + login item and
    // dock tile (2 without size). Other: bundle and caches.
    EXPECT_EQ(result.fileCount, 8);
    EXPECT_EQ(result.iusse, 2);
    EXPECT_EQ(result.totleSize, planned); // the job at its description's size
    EXPECT_TRUE(result.cannotRemovePaths.empty());

    EXPECT_FALSE(a.item("Tool"));
    EXPECT_FALSE(named(a.engine->allApplications(), "Tool"));
    ASSERT_TRUE(a.item("Other"));
    EXPECT_TRUE(named(a.engine->allApplications(), "Other"));
    EXPECT_EQ(test::recordPaths(*a.item("Other")->fileDatas),
              std::vector<std::string>{a.otherPrefs});
    EXPECT_EQ(a.item("Other")->isSelected, 0);
    EXPECT_FALSE(a.engine->hasCheck());

    // The login item left its list; the dock keeps its other tile and its other keys.
    auto logins = LoginItemsStore(LoginItemsStore::defaultPath()).snapshot();
    ASSERT_TRUE(logins);
    EXPECT_TRUE(logins->empty());
    auto dock = plist::readFile(dockPreferencesPath());
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->find("tilesize")->toInteger(), 48);
    ASSERT_EQ(dock->find("persistent-apps")->array()->size(), 1u);
    EXPECT_FALSE(findDockTile(*dock->find("persistent-apps")->array(), "com.maker.Tool"));
    EXPECT_FALSE(a.engine->hasDickIcon("com.maker.Tool"));
    // The user's job was stopped through the service manager's stand-in.
    EXPECT_EQ(test::readText(a.serviceLog), "--user disable --now com.maker.Tool.agent.service\n");
}

TEST(AppRemoval, WhatTheUserMayNotRemoveGoesOnceToTheHelperAndCountsOnlyWhenGone) {
    for (bool helperRemoves : {true, false}) {
        TwoApps a;
        auto lock = std::make_unique<test::Unremovable>(a.tool + "/Contents/MacOS/Tool");
        if (!lock->ok())
            GTEST_SKIP() << "this file system cannot keep a file from being removed";
        a.helperRemoves = helperRemoves;
        a.beforeHelper = [&] {
            if (helperRemoves)
                lock.reset(); // root may do what the user may not
        };
        const std::int64_t bundleSize = a.item("Tool")->size;
        const Plan plan = a.engine->plan();
        UninstallCleanResult result = a.engine->cleanApps();
        MainQueue::drain();
        ASSERT_EQ(a.handed.size(), 1u) << helperRemoves;
        EXPECT_EQ(a.handed[0], std::vector<std::string>{a.tool});
        if (helperRemoves) {
            EXPECT_FALSE(fileops::itemExists(a.tool));
            EXPECT_EQ(result.totleSize, plan.bytes());
            EXPECT_TRUE(result.cannotRemovePaths.empty());
            EXPECT_FALSE(a.item("Tool"));
            continue;
        }
        // The bundle stayed: Tool stays listed with it, marked, measured anew, still ticked.
        EXPECT_EQ(result.totleSize, plan.bytes() - bundleSize);
        AppItemRef tool = a.item("Tool");
        ASSERT_TRUE(tool);
        ASSERT_EQ(tool->fileDatas->size(), 1u);
        ASSERT_EQ(result.cannotRemovePaths, *tool->fileDatas);
        const SubAppFileObj& left = *tool->fileDatas->front();
        EXPECT_EQ(left.path, a.tool);
        EXPECT_TRUE(left.cannotRemoved);
        EXPECT_NE(left.notRemovedReason.find("the helper could not remove it"), std::string::npos)
            << left.notRemovedReason;
        EXPECT_GT(left.size, 0);
        EXPECT_LT(left.size, bundleSize);
        EXPECT_EQ(tool->isSelected, 2);
        EXPECT_TRUE(named(a.engine->allApplications(), "Tool"));
    }
}

TEST(AppRemoval, JobsOfTheSystemGoThroughTheHelperUnlessItIsSwitchedOff) {
    test::UninstallMachine u;
    makeApp(u.m.t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    const std::string daemon = u.job("root/Library/LaunchDaemons/com.maker.Tool.daemon.plist",
                                     "com.maker.Tool.daemon", "/usr/local/bin/tool-daemon");
    for (bool enabled : {false, true}) {
        setPrivilegedHelperEnabled(enabled);
        SearchApplications engine(u.environment());
        engine.setTargets({"com.maker.Tool"});
        engine.scan({}, {});
        Plan plan = engine.plan();
        auto step = std::find_if(plan.items.begin(), plan.items.end(),
                                 [&](const PlanItem& p) { return p.path == daemon; });
        ASSERT_NE(step, plan.items.end());
        EXPECT_EQ(step->action, PlanAction::Unload);
        EXPECT_STREQ(actionName(step->action), "unload");
        Plan jobOnly;
        jobOnly.items = {*step};
        CleanOutcome outcome = engine.clean(jobOnly, {}, {});
        if (!enabled) {
            EXPECT_TRUE(u.unloaded.empty());
            ASSERT_EQ(outcome.left.size(), 1u);
            EXPECT_EQ(outcome.left[0].reason, "the privileged helper is switched off");
            EXPECT_TRUE(named(engine.allApplications(), "Tool")); // it keeps its job
        } else {
            EXPECT_EQ(u.unloaded, std::vector<std::string>{daemon});
            EXPECT_TRUE(outcome.left.empty());
            EXPECT_EQ(outcome.issues, 0);
            EXPECT_EQ(outcome.bytes, step->size); // its description went
            EXPECT_FALSE(fileops::itemExists(daemon));
        }
    }
    setPrivilegedHelperEnabled(true);
}

TEST(AppRemoval, RunningApplicationsByIdentifierOrNameAndTheBrowsers) {
    test::UninstallMachine u;
    makeApp(u.m.t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
    makeApp(u.m.t, "root/Applications/Plain.app", "", "Plain");
    u.running = {{"com.maker.Tool", "Tool", 10},
                 {"com.apple.Safari", "Safari", 11},
                 {"Plain", "Plain", 12},
                 {"firefox-esr", "firefox-esr", 13},
                 {"com.maker.Tool", "Tool", 14}};
    SearchApplications engine(u.environment());
    engine.buildCatalogue();
    AppItemList result;
    auto running = engine.appIsRun(engine.allApplicationsForUninstall(), &result);
    std::vector<int> pids;
    for (const RunningApplication& app : running)
        pids.push_back(app.pid);
    EXPECT_EQ(pids, (std::vector<int>{10, 12, 14}));
    ASSERT_EQ(result.size(), 3u);
    EXPECT_EQ(result[0]->name, "Tool");
    EXPECT_EQ(result[1]->name, "Plain");

    pids.clear();
    for (const RunningApplication& app : engine.hasBrowserRun())
        pids.push_back(app.pid);
    EXPECT_EQ(pids, (std::vector<int>{11, 13}));
}
