// The Uninstaller screen on the offscreen platform, with its own engine over a
// fixture home and system root.
#include "app/MainQueueBinding.h"
#include "app/UninstallViewController.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/ToolIndex.h"
#include "tests/ScanCode/uninstall/PackageFixture.h"
#include "tests/ScanCode/uninstall/UninstallFixture.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/DiskUsage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>

using namespace tessaly;
using test::GuiTest;
using test::makeApp;

namespace {

using Stage = ToolScreen::Stage;

class UninstallScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        auto& t = u.m.t;
        tool = makeApp(t, "root/Applications/Tool.app", "com.maker.Tool", "Tool");
        other = makeApp(t, "root/Applications/Other.app", "com.other.Other", "Other");
        prefs = t.file("home/Library/Preferences/com.maker.Tool.plist", "prefs");
        cache = t.sizedFile("home/Library/Caches/com.maker.Tool/c", 2000);
        agent = u.job("home/Library/LaunchAgents/com.maker.Tool.agent.plist",
                      "com.maker.Tool.agent", "/Applications/Tool.app/Contents/MacOS/Tool");
        t.file("home/.config/systemd/user/com.maker.Tool.agent.service", "[Service]\n");
        test::makeBundle(t, "home/Library/Widgets/Clock.wdgt", "com.third.Clock");
        engine = std::make_unique<SearchApplications>(u.environment());
    }
    void TearDown() override {
        MainQueue::setWakeHandler(nullptr);
        GuiTest::TearDown();
    }
    static QStringList rows(const QTreeWidget* tree) {
        QStringList out;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            out << tree->topLevelItem(i)->text(0);
        return out;
    }
    void load(UninstallViewController& screen) {
        screen.setAnimationScale(0);
        screen.start();
        EXPECT_EQ(screen.stage(), Stage::Scanning);
        EXPECT_EQ(screen.progressList()->text(), "Loading...");
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Details; }, 60000));
    }
    test::UninstallMachine u;
    std::string tool, other, prefs, cache, agent;
    std::unique_ptr<SearchApplications> engine;
};

} // namespace

TEST_F(UninstallScreen, TabsSearchAndAgeGroupsChooseWhatIsListed) {
    UninstallViewController screen(nullptr, nullptr, engine.get());
    load(screen);
    const QTreeWidget* list = screen.detailList()->categoryTree();
    EXPECT_EQ(rows(list), (QStringList{"within half a month", "Other", "Tool"}));
    // Other was last used forty days ago: the next look at the list puts it a month back.
    test::named(engine->allApplicationsForUninstall(), "Other")->lastOpenDate =
        now() - std::chrono::hours(24 * 40);
    QTabBar* tabs = screen.tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "Application");
    EXPECT_TRUE(tabs->isTabEnabled(1)); // the widget
    EXPECT_FALSE(tabs->isTabEnabled(2));
    EXPECT_FALSE(tabs->isTabEnabled(3));
    EXPECT_EQ(screen.searchField()->placeholderText(), "Search Applications...");

    screen.searchField()->setText("oTH");
    EXPECT_EQ(rows(list), (QStringList{"1 month ago", "Other"}));
    screen.searchField()->clear();
    EXPECT_EQ(rows(list), (QStringList{"within half a month", "Tool", "1 month ago", "Other"}));
    tabs->setCurrentIndex(1);
    EXPECT_EQ(rows(list), QStringList{"Clock"});
    // An age group's title ticks nothing.
    tabs->setCurrentIndex(0);
    screen.detailList()->clickCategory(0);
    EXPECT_FALSE(engine->hasCheck());
}

TEST_F(UninstallScreen, RecordsOfATickedApplicationAreRemovedAndReported) {
    u.running = {{"com.maker.Tool", "Tool", 4242}};
    UninstallViewController screen(nullptr, nullptr, engine.get());
    setAskBeforeCleaning(defaults(), false);
    std::vector<CleanFinishInfo> finished;
    ObserverToken finish(NotificationCenter::defaultCenter(),
                         NotificationCenter::defaultCenter().addObserver(
                             cleanFinishNotification, [&](const Notification& n) {
                                 finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
                             }));
    load(screen);
    DetailList* details = screen.detailList();

    // Showing an item searches its records: the bundle first, the agent titled as the user's.
    const int toolRow = static_cast<int>(rows(details->categoryTree()).indexOf("Tool"));
    ASSERT_GE(toolRow, 0);
    details->selectCategory(toolRow);
    QStringList names;
    for (int i = 0; i < details->itemTree()->topLevelItemCount(); ++i)
        names << details->itemTree()->topLevelItem(i)->text(DetailList::NameColumn);
    ASSERT_GE(names.size(), 4);
    EXPECT_EQ(names.front(), QString::fromStdString(tool));
    EXPECT_TRUE(names.contains("agent (Helper)")) << names.join(", ").toStdString();
    EXPECT_FALSE(screen.runButton()->isEnabled());

    details->clickCategory(toolRow); // ticks Tool with all its records
    EXPECT_TRUE(engine->hasCheck());
    ASSERT_TRUE(screen.runButton()->isEnabled());
    EXPECT_EQ(screen.runButton()->text(), "Uninstall");

    // Tool runs: the sheet lists it; Continue leaves Tool out, so nothing is removed.
    screen.cleanClicked();
    RunningAppsSheet* sheet = screen.runningSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->title(), "Some application should be closed for complete cleanup.");
    EXPECT_EQ(sheet->names(), QStringList{"Tool"});
    sheet->continueWithout();
    EXPECT_FALSE(engine->hasCheck());
    EXPECT_EQ(screen.stage(), Stage::Details);
    EXPECT_TRUE(std::filesystem::exists(tool));

    // Ticked again and no longer running: removed with its records.
    u.running.clear();
    details->clickCategory(toolRow);
    screen.cleanClicked();
    ASSERT_EQ(screen.stage(), Stage::Cleaning);
    EXPECT_GE(screen.progressList()->rowCount(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Done; }, 60000));
    for (int r = 0; r < screen.progressList()->rowCount(); ++r)
        EXPECT_EQ(screen.progressList()->rowState(r), ProgressList::State::Done);
    for (const std::string& gone : {tool, prefs, cache, agent})
        EXPECT_FALSE(std::filesystem::exists(gone)) << gone;
    EXPECT_TRUE(std::filesystem::exists(other));
    EXPECT_TRUE(screen.completionPanel()->total().startsWith("Cleaned:  "));
    EXPECT_FALSE(screen.completionPanel()->total().endsWith("Files"));
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].tool, tool::Uninstaller);
    EXPECT_EQ(std::any_cast<CleanResultTotals>(finished[0].result).fileCount, 4);

    // The lists come back on "Application" without Tool.
    screen.detailClicked();
    EXPECT_EQ(screen.tabs()->currentIndex(), 0);
    EXPECT_EQ(rows(details->categoryTree()), (QStringList{"within half a month", "Other"}));
}

// On a Linux desktop an application from a package is listed with its kind,
// shows the command that removes it, and goes only with the administrator's
// approval: a declined prompt leaves everything, listed with the reason.
TEST_F(UninstallScreen, APackageGoesWithTheAdministratorsApprovalOnly) {
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    test::ScopedEnv dirs("XDG_DATA_DIRS", "/usr/share");
    auto& t = u.m.t;
    test::PackageStandIns tools(t);
    t.file("root/var/lib/dpkg/status", test::PackageStandIns::stanza("tool", 500));
    tools.ownedFiles("tool", {"/usr/share/applications/org.maker.Tool.desktop", "/usr/bin/tool"});
    t.file("root/usr/share/applications/org.maker.Tool.desktop",
           "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool\n");
    ::chmod(t.path("root/usr/bin/tool").c_str(), 0755);
    const std::string config = t.sizedFile("home/.config/tool/rc", 1500);
    const std::int64_t configBytes = test::duBytes({t.path("home/.config/tool")});
    tools.set("decline");

    UninstallViewController screen(nullptr, nullptr, engine.get());
    setAskBeforeCleaning(defaults(), false);
    load(screen);
    DetailList* details = screen.detailList();
    const int row = static_cast<int>(rows(details->categoryTree()).indexOf("Tool (Package)"));
    ASSERT_GE(row, 0) << rows(details->categoryTree()).join(", ").toStdString();
    details->clickCategory(row);
    details->selectCategory(row);
    const QTreeWidgetItem* package = details->itemTree()->topLevelItem(0);
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(package->text(DetailList::NameColumn), "Package tool");
    const std::string command =
        tools.pkexec + " " + paths::resourcePath("removePackages", "sh") + " remove tool";
    auto status = [&] {
        return engine->relatedFiles(test::named(engine->allApplications(), "Tool"))->front();
    };
    DetailItemInfo info = screen.detailSource().itemInfo(row, {0});
    EXPECT_TRUE(info.status.contains(QString::fromStdString("runs: " + command)))
        << info.status.toStdString();

    screen.cleanClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Done; }, 60000));
    EXPECT_FALSE(screen.completionPanel()->total().contains("B")); // no size is claimed
    EXPECT_TRUE(std::filesystem::exists(config));
    EXPECT_NE(test::readText(t.path("root/var/lib/dpkg/status")).find("Package: tool"),
              std::string::npos);
    EXPECT_NE(status()->notRemovedReason.find("approval was not given"), std::string::npos);

    // It stays listed and ticked. Approved, apt-get removes it and the home
    // folder's files go.
    std::filesystem::remove(t.path("tools/decline"));
    screen.detailClicked();
    EXPECT_GE(rows(details->categoryTree()).indexOf("Tool (Package)"), 0);
    ASSERT_TRUE(engine->hasCheck());
    screen.cleanClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Done; }, 60000));
    EXPECT_EQ(screen.completionPanel()->total(),
              QString::fromStdString("Cleaned:  " +
                                     CommonFunction::getSizeString(500 * 1024 + configBytes)));
    EXPECT_FALSE(std::filesystem::exists(config));
    EXPECT_EQ(test::readText(t.path("root/var/lib/dpkg/status")).find("Package: tool"),
              std::string::npos);
}
