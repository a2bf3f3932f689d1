// The System Cleanup screen on the offscreen platform, over an engine on a
// fixture home: idle, scan, report, detailed results, clean and completion.
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/PlaceholderViewController.h"
#include "app/Sidebar.h"
#include "app/SystemCleanupViewController.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "app/common/ToolStagePanel.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/HomeLayout.h"
#include "tests/ScanCode/system/SystemFixture.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <thread>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

QString sizeText(std::int64_t size) {
    return QString::fromStdString(CommonFunction::getSizeString(size));
}

// Where the fixture's items lie in the layout in use.
struct Places {
    bool linux = layout::current() == layout::HomeLayout::Linux;
    std::string trash = linux ? "home/.local/share/Trash/files/" : "home/.Trash/";
    std::string cache =
        linux ? "home/.cache/com.maker.app/blob" : "home/Library/Caches/com.maker.app/blob";
    std::string systemLog = linux ? "root/var/log/syslog.1" : "root/Library/Logs/install.log";
};

struct Screen {
    AppDelegate app;
    test::SystemMachine m;
    Places places;
    std::unique_ptr<QSVCleanManager> engine;
    std::unique_ptr<SystemCleanupViewController> screen;
    std::vector<std::string> notes;
    std::vector<CleanFinishInfo> finished;
    ObserverToken all{
        NotificationCenter::defaultCenter(),
        NotificationCenter::defaultCenter().addObserver("", [this](const Notification& n) {
            notes.push_back(n.name);
            if (n.name == cleanFinishNotification)
                finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
        })};

    Screen() {
        bindMainQueueToEventLoop(*qApp);
        app.setSwitchDuration(0);
        app.awakeFromNib();
        m.t.sizedFile(places.trash + "old.zip", 120000);
        m.t.sizedFile(places.trash + "keep.txt", 2000);
        m.t.sizedFile(places.cache, 40000);
        m.t.sizedFile(places.systemLog, 800);
        if (places.linux) {
            for (const std::string name : {"old.zip", "keep.txt"})
                m.t.file("home/.local/share/Trash/info/" + name + ".trashinfo",
                         "[Trash Info]\nPath=/home/me/" + name + "\n");
            m.t.file("root/var/log/syslog", "live");
        }
        m.buildCatalogue();
        engine = m.manager();
        screen = std::make_unique<SystemCleanupViewController>(&app, nullptr, engine.get());
        screen->setAnimationScale(1);
        app.listenTo(screen.get());
    }
    ~Screen() { screen.reset(); } // before the engine it drives

    bool waitFor(Stage stage) {
        return QTest::qWaitFor([&] { return screen->stage() == stage; }, 20000);
    }
    SidebarRow* sidebarRow() {
        return app.sidebar()->row(
            static_cast<int>(AppDelegate::resetCellIndex(tool::SystemCleanup)));
    }
    bool posted(const std::string& name) const {
        return std::find(notes.begin(), notes.end(), name) != notes.end();
    }
    int category(const char* name) {
        auto& s = screen->detailSource();
        for (int c = 0; c < s.categoryCount(); ++c)
            if (s.categoryInfo(c).name == name)
                return c;
        return -1;
    }
    // Clean, answering the confirmation.
    void confirmClean() {
        screen->cleanClicked();
        ASSERT_NE(screen->confirmation(), nullptr);
        screen->confirmation()->confirmButton()->click();
    }
};

} // namespace

using SystemCleanupScreen = GuiTest;

// The whole flow, in each layout with its own places.
class SystemCleanupScreenFlow : public test::InLayout, public GuiTest {};

TEST_P(SystemCleanupScreenFlow, ScanReviewCleanAndComplete) {
    Screen s;
    auto* idle = s.screen->idlePanel();
    EXPECT_EQ(idle->title(), "System Cleanup");
    EXPECT_EQ(idle->description(),
              QString("Clean up your system frequently and delete unwanted junk files to free up "
                      "disk space. Your %1 will run more smoothly.")
                  .arg(isLinux() ? "computer" : "Mac"));
    EXPECT_EQ(idle->promptText(), "Push \"Scan\" to start scan");

    // Scanning: a row per module, the engine line, the sidebar spinner.
    s.screen->scanClicked();
    EXPECT_EQ(s.screen->stage(), Stage::Scanning);
    EXPECT_TRUE(s.screen->isDoing);
    EXPECT_TRUE(s.sidebarRow()->spinnerVisible());
    EXPECT_EQ(s.screen->progressList()->rowCount(),
              static_cast<int>(s.engine->modulesToScan().size()));
    EXPECT_EQ(s.screen->progressList()->text(), "Initialize the engine...");
    ASSERT_TRUE(s.waitFor(Stage::Report));
    EXPECT_FALSE(s.screen->isDoing);
    EXPECT_TRUE(s.posted(systemScanFinishNotification));

    // The report.
    const std::int64_t ticked = s.engine->totleSizeAllModule();
    auto* report = s.screen->reportPanel();
    EXPECT_EQ(report->title(), "System Cleanup");
    EXPECT_EQ(report->headlines(),
              (QStringList{"CAN BE SALFLY CLEANED AUTOMATICALLY", "Unneeded System Items Removal",
                           "Review detailed scan to see the particular items Pallomar offers to "
                           "remove"}));
    EXPECT_EQ(report->total(), sizeText(ticked));
    EXPECT_EQ(report->rowNames().first(), "Trash");
    EXPECT_EQ(report->note(), "");
    EXPECT_EQ(s.sidebarRow()->label(), sizeText(ticked));

    // Detailed results: untick one item and one module, then clean.
    s.screen->detailClicked();
    EXPECT_EQ(s.screen->stage(), Stage::Details);
    EXPECT_EQ(s.screen->totalsText(), report->total());
    DetailList* list = s.screen->detailList();
    int trash = s.category("Trash"), logs = s.category("System Log");
    ASSERT_GE(trash, 0);
    ASSERT_GE(logs, 0);
    EXPECT_EQ(s.screen->detailSource().categoryInfo(trash).check, Qt::Checked);
    list->clickCategory(logs); // ticked: unticks the module
    EXPECT_EQ(s.screen->detailSource().categoryInfo(logs).check, Qt::Unchecked);
    EXPECT_EQ(s.screen->detailSource().categoryInfo(logs).value, // dimmed total
              sizeText(test::duBytes({s.m.t.path(s.places.systemLog)})));
    EXPECT_TRUE(s.screen->detailSource().categoryInfo(logs).dimmed);
    list->selectCategory(trash);
    list->setSort(DataSource::Name, true); // A before Z
    ASSERT_EQ(list->itemTree()->topLevelItemCount(), 2);
    EXPECT_EQ(s.screen->detailSource().itemInfo(trash, {0}).name, "keep.txt");
    list->setSort(DataSource::Name, false); // Z before A
    EXPECT_EQ(s.screen->detailSource().itemInfo(trash, {0}).name, "old.zip");
    list->setSort(DataSource::Name, true);
    list->clickItem({0});
    EXPECT_EQ(s.screen->detailSource().categoryInfo(trash).check, Qt::PartiallyChecked);

    // Deselect All and Select All work on every module.
    list->deselectAll();
    EXPECT_EQ(s.engine->totleIssueAllModule(), 0);
    EXPECT_FALSE(s.screen->runButton()->isEnabled());
    list->selectAll();
    EXPECT_EQ(s.engine->totleSizeAllModule(), ticked);
    list->clickCategory(logs);
    list->selectCategory(trash);
    list->clickItem({0});
    const std::int64_t toClean = s.engine->totleSizeAllModule();
    // Something no one can remove stays ticked after the clean.
    const std::string stuck = s.m.t.file("stuck/held.bin", "held");
    test::Unremovable held(stuck);
    if (!held.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    s.engine->scanDisk->finishScan({test::item(stuck, 0)}, sysmodule::UserDownloads);
    list->reload();

    s.screen->cleanClicked();
    ASSERT_NE(s.screen->confirmation(), nullptr);
    EXPECT_EQ(s.screen->confirmation()->text(),
              QString("Clean %1 items, %2? This cannot be undone.")
                  .arg(s.engine->totleIssueAllModule())
                  .arg(sizeText(toClean)));
    s.screen->confirmation()->confirmButton()->click();
    EXPECT_EQ(s.screen->stage(), Stage::Cleaning);
    EXPECT_TRUE(defaults().dateForKey(keys::systemLastCleanDateKey).has_value());
    ASSERT_TRUE(s.waitFor(Stage::Details));
    EXPECT_FALSE(s.m.t.exists(s.places.trash + "old.zip"));
    EXPECT_EQ(test::readText(s.m.t.path(s.places.trash + "keep.txt")), std::string(2000, 'x'));
    EXPECT_TRUE(s.m.t.exists(s.places.systemLog));
    if (s.places.linux) {
        EXPECT_FALSE(s.m.t.exists("home/.local/share/Trash/info/old.zip.trashinfo"));
        EXPECT_TRUE(s.m.t.exists("home/.local/share/Trash/info/keep.txt.trashinfo"));
        EXPECT_EQ(test::readText(s.m.t.path("root/var/log/syslog")), "live");
    }
    EXPECT_EQ(s.screen->lastReport().removeSize, toClean);
    EXPECT_EQ(s.screen->summary(), "Cleaned:  " + sizeText(toClean));
    EXPECT_EQ(s.app.cleanTotle(), toClean);
    ASSERT_EQ(s.finished.size(), 1u);
    EXPECT_EQ(s.finished[0].tool, tool::SystemCleanup);
    EXPECT_EQ(std::any_cast<CleanReport>(s.finished[0].result).removeSize, toClean);
    EXPECT_FALSE(s.sidebarRow()->spinnerVisible());
    EXPECT_EQ(s.m.handedToHelper, std::vector<std::vector<std::string>>{{stuck}});
    EXPECT_EQ(test::readText(stuck), "held");
    // What stayed says why on its row.
    const int downloads = s.category("User Downloads");
    EXPECT_EQ(s.screen->detailSource().categoryInfo(downloads).check, Qt::Checked);
    list->selectCategory(downloads);
    EXPECT_TRUE(
        s.screen->detailSource().itemInfo(downloads, {0}).status.startsWith("Not removed: "));
    EXPECT_FALSE(list->itemTree()->isColumnHidden(DetailList::StatusColumn));

    // What is left is cleaned too: nothing ticked remains, the completion page shows.
    list->selectAll();
    s.engine->setCheck(sysmodule::UserDownloads, false);
    const std::int64_t rest = s.engine->totleSizeAllModule();
    s.confirmClean();
    ASSERT_TRUE(s.waitFor(Stage::Done));
    EXPECT_EQ(s.screen->completionPanel()->title(), "Cleanup Completed");
    EXPECT_EQ(s.screen->completionPanel()->message(),
              sizeText(rest) +
                  " of unneeded items were removed from your system and applications.");
    EXPECT_TRUE(s.sidebarRow()->doneMarkVisible());
    s.screen->startOverClicked();
    EXPECT_EQ(s.screen->stage(), Stage::Idle);
    EXPECT_FALSE(s.sidebarRow()->doneMarkVisible());
}

TEST_F(SystemCleanupScreen, ACleanOfSizelessItemsCountsItsFiles) {
    Screen s;
    setAskBeforeCleaning(defaults(), false);
    for (int module = 0; module <= 12; ++module)
        s.engine->setModuleEnabled(module, module == sysmodule::Trash);
    s.m.t.file("home/.Trash/empty.txt", "");
    s.screen->scanClicked();
    ASSERT_TRUE(s.waitFor(Stage::Report));
    s.engine->setAllCheck(false);
    for (const ScanItem& item : *s.engine->moduleItems(sysmodule::Trash))
        item->isCheck = item->name == "empty.txt"; // 0 bytes
    s.screen->detailClicked();
    ASSERT_TRUE(s.screen->runButton()->isEnabled());
    EXPECT_EQ(s.screen->totalsText(), "1 Files");
    s.screen->cleanClicked();
    ASSERT_TRUE(s.waitFor(Stage::Done));
    EXPECT_FALSE(s.m.t.exists("home/.Trash/empty.txt"));
    EXPECT_EQ(s.screen->completionPanel()->total(), "Cleaned:  1 Files");
}

TEST_F(SystemCleanupScreen, NothingFoundReportsCompletedScan) {
    Screen s;
    for (int module = 0; module <= 12; ++module)
        s.engine->setModuleEnabled(module, module == sysmodule::IOSSoftwareUpdates);
    s.screen->scanClicked();
    ASSERT_TRUE(s.waitFor(Stage::Report));
    EXPECT_EQ(s.screen->reportPanel()->title(), "Scan Completed");
    EXPECT_EQ(s.screen->reportPanel()->message(), "No selected file can be remove");
    s.screen->detailClicked();
    int updates = s.category("IOS Software Updates");
    ASSERT_GE(updates, 0);
    EXPECT_EQ(s.screen->detailSource().categoryInfo(updates).icon, "chek");
    EXPECT_TRUE(s.screen->detailSource().categoryInfo(updates).value.isEmpty());
    EXPECT_EQ(s.screen->detailList()->emptyText(), "There are no unneeded Files to removed");
    EXPECT_FALSE(s.screen->runButton()->isEnabled());
}

TEST_F(SystemCleanupScreen, RefusedWhileMemoryIsFreed) {
    Screen s;
    ToolBaseViewController* memory =
        s.app.getVC(AppDelegate::resetCellIndex(tool::MemoryOptimization));
    ASSERT_NE(memory, nullptr);
    memory->isDoing = true;
    s.screen->scanClicked();
    EXPECT_EQ(s.screen->stage(), Stage::Idle);
    ASSERT_NE(s.screen->currentNotice(), nullptr);
    EXPECT_EQ(s.screen->currentNotice()->title(), "Notice");
    memory->isDoing = false;
}

TEST_F(SystemCleanupScreen, AStoppedScanReportsWhatItDidNotFinish) {
    // Stopped while the engine waits for the application catalogue: the report
    // says so, and every module reads as interrupted.
    Screen s;
    test::SystemMachine other;
    auto engine = other.manager(); // its catalogue is never built
    SystemCleanupViewController screen(&s.app, nullptr, engine.get());
    screen.setAnimationScale(1);
    screen.scanClicked();
    EXPECT_EQ(screen.stage(), Stage::Scanning);
    EXPECT_TRUE(screen.stopButton()->isEnabled());
    screen.stopClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Report; }, 20000));
    EXPECT_FALSE(screen.isDoing);
    EXPECT_TRUE(screen.lastRunStopped());
    EXPECT_FALSE(screen.reportPanel()->note().isEmpty());
    screen.detailClicked();
    ASSERT_GT(screen.detailSource().categoryCount(), 0);
    EXPECT_EQ(screen.detailSource().categoryInfo(0).icon, "iconWarning");
    EXPECT_EQ(screen.detailList()->emptyText(),
              "Scan was interrupted before this section has been completely");

    // The next scan runs to its end.
    other.buildCatalogue();
    screen.startOverClicked();
    screen.scanClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Report; }, 20000));
    EXPECT_FALSE(screen.lastRunStopped());
    EXPECT_EQ(screen.reportPanel()->note(), "");
}

TEST_F(SystemCleanupScreen, StopDuringTheHelperPassKeepsTheWindowFree) {
    Screen s;
    setAskBeforeCleaning(defaults(), false);
    // The helper works until it is told to stop.
    s.m.helper = [&m = s.m](const std::vector<std::string>& paths,
                            std::vector<std::string>* notRemoved) {
        while (m.helperStops == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (notRemoved)
            *notRemoved = paths;
        return false;
    };
    s.screen->scanClicked();
    ASSERT_TRUE(s.waitFor(Stage::Report));
    const std::string stuck = s.m.t.file("stuck/held.bin", "held");
    test::Unremovable held(stuck);
    if (!held.ok())
        GTEST_SKIP() << "this file system cannot keep a file from being removed";
    s.engine->scanDisk->finishScan({test::item(stuck, 0)}, sysmodule::UserDownloads);
    s.screen->detailClicked();
    s.screen->cleanClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.m.handedToHelper.empty(); }, 20000));
    s.screen->stopClicked(); // returns at once; the helper hears it from a worker
    EXPECT_EQ(s.screen->stage(), Stage::Cleaning);
    ASSERT_TRUE(s.waitFor(Stage::Done));
    EXPECT_GE(s.m.helperStops.load(), 1);
    EXPECT_TRUE(s.screen->lastRunStopped());
    EXPECT_FALSE(s.screen->completionPanel()->note().isEmpty());
    EXPECT_EQ(s.screen->lastOutcome().left.size(), 1u);
}

TEST_F(SystemCleanupScreen, LanguageRowsOpenOntoTheFoldersThatGo) {
    Screen s;
    auto app = test::group("Photo Editor", {});
    app->path = "/Applications/Photo Editor.app";
    app->isCheck = true;
    app->subObjects.reset();
    app->removePaths = {"/Applications/Photo Editor.app/Contents/Resources/fr.lproj",
                        "/Applications/Photo Editor.app/Contents/Resources/de.lproj"};
    app->removeSizes = {300, 200};
    app->fileSize = 500;
    s.engine->scanDisk->finishScan({test::group("French", {app})}, sysmodule::Language);
    s.screen->detailSource().reload({sysmodule::Language}, false);
    const int language = s.category("Language");
    ASSERT_GE(language, 0);
    DetailList* list = s.screen->detailList();
    list->setSource(&s.screen->detailSource());
    list->selectCategory(language);
    // The application's row is not its bundle: it opens onto its folders.
    EXPECT_EQ(s.screen->detailSource().itemInfo(language, {0, 0}).path, "");
    ASSERT_EQ(s.screen->detailSource().itemCount(language, {0, 0}), 2);
    QTreeWidgetItem* folder = list->treeItem({0, 0, 1});
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->text(DetailList::NameColumn), "de.lproj");
    EXPECT_EQ(folder->text(DetailList::PathColumn),
              "/Applications/Photo Editor.app/Contents/Resources/de.lproj");
    EXPECT_FALSE(folder->flags() & Qt::ItemIsUserCheckable);
}

TEST_F(SystemCleanupScreen, TheStartupDiskAccessStepWhereAPlatformNeedsIt) {
    Screen s;
    EXPECT_FALSE(SystemCleanupViewController::startupDiskAccessRequired());
    settings().selectFile = false;
    s.screen->setStartupDiskAccessRequired(true);
    EXPECT_EQ(s.screen->idlePanel()->promptText(), "Select File to continue");
    s.screen->setFolderChooser([] { return QString("/home"); });
    s.screen->idlePanel()->scanButton()->click();
    ASSERT_NE(s.screen->currentNotice(), nullptr);
    EXPECT_EQ(s.screen->currentNotice()->text(), "Please Select Macintosh HD");
    EXPECT_FALSE(settings().selectFile);
    EXPECT_EQ(s.screen->stage(), Stage::Idle);

    s.screen->setFolderChooser([] { return QString("/"); });
    s.screen->idlePanel()->scanButton()->click();
    EXPECT_TRUE(settings().selectFile);
    EXPECT_TRUE(defaults().hasKey(keys::searchLocationKey));
    EXPECT_TRUE(s.posted(fileSelectNotification));
    EXPECT_EQ(s.screen->idlePanel()->promptText(), "Push \"Scan\" to start scan");
    settings().selectFile = false;
}

INSTANTIATE_TEST_SUITE_P(Layouts, SystemCleanupScreenFlow, test::bothLayouts());
