#include "ScanCode/uninstall/SearchApplications.h"
#include "app/AppDelegate.h"
#include "app/DuplicateViewController.h"
#include "app/HelpWindowController.h"
#include "app/HomeViewController.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/OldViewController.h"
#include "app/PlaceholderViewController.h"
#include "app/ShredderViewController.h"
#include "app/Sidebar.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ToolScreen.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/StartupSteps.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/TempTree.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <sys/stat.h>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;

namespace {

struct Shell {
    AppDelegate app;
    explicit Shell(int switchMs = 0) {
        app.setSwitchDuration(switchMs);
        app.show();
        app.awakeFromNib();
        settle();
    }
    ToolBaseViewController* screen(std::int64_t toolIndex) {
        return app.getVC(AppDelegate::resetCellIndex(toolIndex));
    }
    QStringList duplicateFolders() {
        auto* screen = qobject_cast<DuplicateViewController*>(
            app.getVC(AppDelegate::resetCellIndex(tool::DuplicatesFinder)));
        return screen ? screen->folderList()->folders() : QStringList{};
    }
};

QStringList menuTitles(QMenu* menu) {
    QStringList titles;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            titles << a->text();
    return titles;
}

} // namespace

using ShellStartup = GuiTest;

TEST_F(ShellStartup, WritesInfoPlistAndTheStartKeys) {
    defaults().setBool(keys::PlaySound, false);
    Shell shell;
    auto info = plist::readFile(
        paths::join(paths::homePath(), "Library/Application Support/Vellmo/info.plist"));
    ASSERT_TRUE(info && info->dict());
    EXPECT_EQ(info->stringForKey("mainPath"), paths::executablePath());
    EXPECT_EQ(defaults().integerForKey(keys::FirstRun), 1);
    EXPECT_TRUE(defaults().dateForKey(keys::lastCleanDateKey).has_value());
    EXPECT_TRUE(defaults().boolForKey(keys::firstRunKey)); // home screen shown once
    struct stat st {};
    ASSERT_EQ(::stat(paths::homePath().c_str(), &st), 0);
    EXPECT_EQ(settings().blockSize.load(), static_cast<std::int32_t>(st.st_blksize));
    EXPECT_FALSE(settings().playSound.load());
    EXPECT_TRUE(settings().needClean.load());
    EXPECT_FALSE(settings().isRetina.load());

    EXPECT_EQ(shell.app.windowTitle(), "Vellmo");
    EXPECT_TRUE(shell.app.first());
    EXPECT_EQ(shell.app.selected(), 0);
    ASSERT_NE(shell.app.currentVC(), nullptr);
    EXPECT_EQ(shell.app.currentVC()->index, tool::Home);
    EXPECT_TRUE(shell.app.sidebar()->row(0)->isSelected());
    // Only the home screen exists after start-up.
    for (std::int64_t t = 1; t < 10; ++t)
        EXPECT_EQ(shell.app.existingScreen(t), nullptr) << t;
}

TEST_F(ShellStartup, CleanedTotalIsKeptAcrossRestarts) {
    {
        Shell shell;
        shell.app.addCleanTotle(1'000'000);
        shell.app.addCleanTotle(234);
        EXPECT_EQ(shell.app.cleanTotle(), 1'000'234);
    }
    // Written to the file at once: a fresh reader of the same file sees it.
    UserDefaults reread(defaults().path());
    EXPECT_EQ(reread.integerForKey(keys::totleCleanKey), 1'000'234);
    Shell again;
    EXPECT_EQ(again.app.cleanTotle(), 1'000'234);
    EXPECT_TRUE(again.app.sidebar()->cleanTotalText().contains(
        QString::fromStdString(CommonFunction::getSizeString(1'000'234))));
}

TEST_F(ShellStartup, MenusCarryTheirTitles) {
    Shell shell;
    // Each title carries its Alt letter.
    QStringList menus;
    for (QAction* a : shell.app.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&Tessaly", "&Editor", "&View", "&Window", "&Help"}));
    EXPECT_EQ(menuTitles(shell.app.viewMenu()),
              (QStringList{"System Cleanup", "System Security", "Browser Cleanup", "Uninstaller",
                           "Duplicates Finder", "Old Files Finder", "Eraser", "Alias Finder",
                           "Memory Optimization", "Enter Full Screen"}));
    QStringList appMenu = menuTitles(shell.app.menuBar()->actions()[0]->menu());
    for (const char* t :
         {"About Tessaly", "Preferences…", "Services", "Hide Tessaly", "Hide Others", "Show All",
          "Quit Tessaly", "Check For Updates", "Uninstall"})
        EXPECT_TRUE(appMenu.contains(t)) << t;
    EXPECT_EQ(menuTitles(shell.app.menuBar()->actions()[3]->menu()),
              (QStringList{"Show Main Window", "Minimize", "Zoom", "Bring All to Front"}));
    EXPECT_EQ(menuTitles(shell.app.menuBar()->actions()[4]->menu()),
              (QStringList{"Tessaly Help", "Feedback"}));
}

using ShellNavigation = GuiTest;

TEST_F(ShellNavigation, RowsMapToToolScreensCreatedOnceAndKept) {
    Shell shell;
    const char* titles[10] = {
        "Home",         "System Cleanup",     "System Security",  "Browser Cleanup",
        "Uninstaller",  "Duplicates Finder",  "Old Files Finder", "Eraser",
        "Alias Finder", "Memory Optimization"};
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(shell.app.sidebar()->row(row)->title(), titles[row]) << row;
        ToolBaseViewController* screen = shell.app.getVC(row);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->index, AppDelegate::resetIndex(row)) << row;
        EXPECT_EQ(shell.app.getVC(row), screen) << "created once";
        EXPECT_EQ(AppDelegate::resetCellIndex(screen->index), row);
    }
    EXPECT_EQ(shell.app.getVC(10), nullptr);
    // Every tool has its own screen now: no placeholder is left.
    for (int row = 1; row < 10; ++row)
        EXPECT_EQ(qobject_cast<PlaceholderViewController*>(shell.app.getVC(row)), nullptr) << row;

    // Visiting every screen keeps each one; exit is called on leaving.
    for (int row = 1; row < 10; ++row) {
        shell.app.tableViewSelectionDidChange(row);
        EXPECT_EQ(shell.app.currentVC(), shell.app.getVC(row));
        EXPECT_EQ(shell.app.selected(), row);
        EXPECT_FALSE(shell.app.currentVC()->comeHome);
    }
    shell.app.backHome();
    EXPECT_EQ(shell.app.currentVC()->index, tool::Home);
    EXPECT_TRUE(shell.app.currentVC()->comeHome);
    EXPECT_TRUE(shell.app.sidebar()->row(0)->isSelected());
    EXPECT_FALSE(shell.app.sidebar()->row(9)->isSelected());
}

TEST_F(ShellNavigation, SelectingTheSelectedRowDoesNothing) {
    Shell shell;
    shell.app.tableViewSelectionDidChange(3); // Browser Cleanup
    ToolBaseViewController* browser = shell.app.currentVC();
    ASSERT_EQ(browser->index, tool::BrowserCleanup);
    browser->comeHome = true;

    shell.app.tableViewSelectionDidChange(3);
    shell.app.startTool(tool::BrowserCleanup);
    shell.app.onBrowserup();
    shell.app.viewMenu()->actions()[2]->trigger(); // "Browser Cleanup"
    shell.app.tableViewSelectionDidChange(12);     // no such row
    EXPECT_EQ(shell.app.currentVC(), browser);
    EXPECT_TRUE(browser->comeHome); // untouched: the screen was not entered again
    EXPECT_EQ(shell.app.selected(), 3);
}

TEST_F(ShellNavigation, ArrowKeysAndClicksOnTheSidebarSelectRows) {
    Shell shell;
    QTest::keyClick(shell.app.sidebar(), Qt::Key_Down);
    QTest::keyClick(shell.app.sidebar(), Qt::Key_Down);
    EXPECT_EQ(shell.app.selected(), 2);
    EXPECT_EQ(shell.app.currentVC()->index, tool::SystemSecurity);
    QTest::keyClick(shell.app.sidebar(), Qt::Key_Up);
    EXPECT_EQ(shell.app.currentVC()->index, tool::SystemCleanup);
    QTest::mouseClick(shell.app.sidebar()->row(9), Qt::LeftButton);
    EXPECT_EQ(shell.app.currentVC()->index, tool::MemoryOptimization);
    QTest::keyClick(shell.app.sidebar(), Qt::Key_Down); // past the last row
    EXPECT_EQ(shell.app.selected(), 9);
}

TEST_F(ShellNavigation, StartToolAndViewMenuSetComeHomeDifferently) {
    Shell shell;
    shell.app.startTool(tool::AliasFinder);
    EXPECT_EQ(shell.app.selected(), 8);
    EXPECT_TRUE(shell.app.currentVC()->comeHome);

    ToolBaseViewController* old =
        shell.app.getVC(AppDelegate::resetCellIndex(tool::OldFilesFinder));
    old->comeHome = true;
    shell.app.onLargeup(); // View menu: comeHome left as it was
    EXPECT_EQ(shell.app.currentVC(), old);
    EXPECT_EQ(shell.app.selected(), 6);
    EXPECT_TRUE(old->comeHome);
    EXPECT_TRUE(shell.app.sidebar()->row(6)->isSelected());
}

TEST_F(ShellNavigation, TheSwitchAnimatesWithTheSidebarDisabled) {
    Shell shell(400);
    QSignalSpy finished(&shell.app, &AppDelegate::switchFinished);
    // A tool screen has no bottom bar, the home screen has one: each comes in at
    // the height it will have.
    shell.app.tableViewSelectionDidChange(7);
    auto* target = shell.app.getVC(7);
    EXPECT_TRUE(shell.app.isSwitching());
    EXPECT_FALSE(shell.app.sidebar()->isEnabled());
    EXPECT_FALSE(shell.app.viewMenu()->actions()[0]->isEnabled());
    EXPECT_EQ(shell.app.currentVC()->index, tool::Home);  // not yet
    EXPECT_EQ(target->y(), shell.app.getVC(0)->height()); // comes from below

    shell.app.tableViewSelectionDidChange(2); // refused during the switch
    EXPECT_EQ(shell.app.selected(), 7);

    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(shell.app.isSwitching());
    EXPECT_TRUE(shell.app.sidebar()->isEnabled());
    EXPECT_TRUE(shell.app.viewMenu()->actions()[0]->isEnabled());
    EXPECT_EQ(shell.app.currentVC(), target);
    EXPECT_EQ(target->pos(), QPoint(0, 0));
    EXPECT_FALSE(shell.app.getVC(0)->isVisible());

    // Back to a lower index: the home screen comes from above.
    shell.app.backHome();
    EXPECT_EQ(shell.app.getVC(0)->y(), -target->height());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(shell.app.currentVC()->index, tool::Home);
}

TEST_F(ShellNavigation, SidebarMarksOfARun) {
    Shell shell;
    SidebarRow* browser = shell.app.sidebar()->row(3);
    shell.app.startRotateAnimi(tool::BrowserCleanup);
    EXPECT_TRUE(browser->spinnerVisible());
    shell.app.stopRotateAnimi(tool::BrowserCleanup, 42);
    EXPECT_FALSE(browser->spinnerVisible());
    EXPECT_EQ(browser->label(), "42 Items");

    SidebarRow* system = shell.app.sidebar()->row(1);
    shell.app.startRotateAnimi(tool::SystemCleanup);
    shell.app.stopRotateAnimi(tool::SystemCleanup, 3'400'000);
    EXPECT_EQ(system->label(), QString::fromStdString(CommonFunction::getSizeString(3'400'000)));
    shell.app.stopRotateAnimi(tool::SystemCleanup, 0);
    EXPECT_TRUE(system->doneMarkVisible());
    EXPECT_EQ(system->label(), "");

    SidebarRow* security = shell.app.sidebar()->row(2);
    shell.app.startRotateAnimi(tool::SystemSecurity);
    shell.app.stopRotateAnimi(tool::SystemSecurity);
    EXPECT_TRUE(security->doneMarkVisible());
    shell.app.resetCell(tool::SystemSecurity);
    EXPECT_FALSE(security->doneMarkVisible());
    EXPECT_FALSE(security->spinnerVisible());
}

using ShellExclusion = GuiTest;

TEST_F(ShellExclusion, NoToolStartsWhileMemoryIsFreed) {
    Shell shell;
    ToolBaseViewController* system =
        shell.app.getVC(AppDelegate::resetCellIndex(tool::SystemCleanup));
    // Screens not created yet count as idle.
    EXPECT_FALSE(shell.app.isDoingMemory());
    EXPECT_FALSE(shell.app.isDoingWork());
    EXPECT_TRUE(system->mayStartWork());
    EXPECT_EQ(system->currentNotice(), nullptr);

    shell.screen(tool::MemoryOptimization)->isDoing = true;
    EXPECT_TRUE(shell.app.isDoingMemory());
    EXPECT_FALSE(shell.app.isDoingWork()); // memory does not count as file work
    EXPECT_FALSE(system->mayStartWork());
    NoticeSheet* sheet = system->currentNotice();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->title(), "Notice");
    EXPECT_EQ(sheet->text(), "Memeory is freeing, do other task will become every slow");
    EXPECT_EQ(sheet->size(), QSize(420, 153));
    EXPECT_EQ(sheet->findChild<QPushButton*>()->text(), "Cancel");
    EXPECT_FALSE(shell.screen(tool::SystemSecurity)->mayStartWork());
}

TEST_F(ShellExclusion, MemoryDoesNotStartWhileFilesAreWorkedOn) {
    Shell shell;
    ToolBaseViewController* memory = shell.screen(tool::MemoryOptimization);
    EXPECT_TRUE(memory->mayStartWork());
    // System Security reads every file too, and counts as work.
    shell.screen(tool::SystemSecurity)->isDoing = true;
    EXPECT_TRUE(shell.app.isDoingWork());
    EXPECT_FALSE(memory->mayStartWork());
    shell.screen(tool::SystemSecurity)->isDoing = false;

    shell.screen(tool::Uninstaller)->isDoing = true;
    EXPECT_TRUE(shell.app.isDoingWork());
    EXPECT_FALSE(memory->mayStartWork());
    ASSERT_NE(memory->currentNotice(), nullptr);
    EXPECT_EQ(memory->currentNotice()->text(),
              "File is scaning or cleaning, memory free will make app become every slow");

    memory->showAlertMessage();
    EXPECT_EQ(memory->currentNotice()->title(), "Select file to continue");
    EXPECT_EQ(memory->currentNotice()->text(),
              "Standbox limit, Please must be select Macintosh HD to continue!");
}

using ShellHandOver = GuiTest;

TEST_F(ShellHandOver, SwitchesToTheToolFirstThenHandsThePathsOver) {
    Shell shell;
    test::TempTree tree;
    const QString file = QString::fromStdString(tree.file("a.txt", "a"));
    const QString folder = QString::fromStdString(tree.dir("b"));
    shell.app.tableViewSelectionDidChange(8); // Alias Finder
    shell.app.addFileFromFinder({file, folder});
    EXPECT_EQ(shell.app.selected(), 7);
    auto* eraser = qobject_cast<ShredderViewController*>(shell.screen(tool::Eraser));
    ASSERT_NE(eraser, nullptr);
    EXPECT_EQ(shell.app.currentVC(), eraser);
    EXPECT_EQ(eraser->fileList()->folders(), (QStringList{file, folder}));

    const QString oldDir = QString::fromStdString(tree.dir("old"));
    shell.app.AddDirForOld({oldDir});
    EXPECT_EQ(shell.app.currentVC()->index, tool::OldFilesFinder);
    auto* old = qobject_cast<OldViewController*>(shell.app.currentVC());
    ASSERT_NE(old, nullptr);
    EXPECT_TRUE(old->folderList()->folders().contains(oldDir));
    const QString dup = QString::fromStdString(tree.dir("dup"));
    shell.app.AddDirForDuplicate({dup});
    EXPECT_EQ(shell.app.currentVC()->index, tool::DuplicatesFinder);
    EXPECT_TRUE(shell.duplicateFolders().contains(dup));
}

TEST_F(ShellHandOver, AHandOverDuringASwitchWaitsForIt) {
    Shell shell(400);
    test::TempTree tree;
    const QString dup = QString::fromStdString(tree.dir("d"));
    QSignalSpy finished(&shell.app, &AppDelegate::switchFinished);
    shell.app.tableViewSelectionDidChange(1);
    shell.app.AddDirForDuplicate({dup});
    ASSERT_TRUE(finished.wait(5000)); // the sidebar switch
    if (shell.app.currentVC()->index != tool::DuplicatesFinder) {
        ASSERT_TRUE(finished.wait(5000)); // then the hand-over's own
    }
    EXPECT_EQ(shell.app.selected(), 5);
    EXPECT_TRUE(shell.duplicateFolders().contains(dup));
}

using HelpWindow = GuiTest;

TEST_F(HelpWindow, AFailedLoadShowsTheWarningAndReloadRetries) {
    test::TempTree tree;
    HelpWindowController help;
    help.setPagePath(QString::fromStdString(tree.path("missing.html")));
    help.show();
    QSignalSpy done(&help, &HelpWindowController::loadFinished);
    help.reload();
    EXPECT_TRUE(help.loadingMark()->isVisible());
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done.takeFirst().at(0).toBool());
    EXPECT_FALSE(help.loaded());
    EXPECT_TRUE(help.warning()->isVisible());
    EXPECT_EQ(help.warning()->text(), "Help page load failed");
    EXPECT_TRUE(help.reloadButton()->isVisible());
    EXPECT_FALSE(help.page()->isVisible());

    tree.file("missing.html", "<h1>Tessaly Help</h1>");
    help.reloadButton()->click();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done.takeFirst().at(0).toBool());
    EXPECT_TRUE(help.loaded());
    EXPECT_TRUE(help.page()->isVisible());
    EXPECT_FALSE(help.warning()->isVisible());
    EXPECT_TRUE(help.page()->toPlainText().contains("Tessaly Help"));

    // Once loaded, reload does nothing.
    help.reload();
    EXPECT_FALSE(help.loading());
}

TEST_F(HelpWindow, TheShippedPageLoads) {
    Shell shell;
    shell.app.onHelp();
    ASSERT_NE(shell.app.helpWindow(), nullptr);
    QSignalSpy done(shell.app.helpWindow(), &HelpWindowController::loadFinished);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(shell.app.helpWindow()->loaded());
    HelpWindowController* first = shell.app.helpWindow();
    shell.app.onHelp();
    EXPECT_EQ(shell.app.helpWindow(), first); // created once
}

using ShellCatalogue = GuiTest;

TEST_F(ShellCatalogue, UninstallerScreenCountsTheInstalledApplications) {
    test::TempTree root;
    test::ScopedEnv rootEnv("TESSALY_ROOT", root.root());
    for (const char* app : {"Applications/Safari.app", "Applications/Foo.app"}) {
        root.dir(std::string(app) + "/Contents");
        plist::writeFile(root.path(std::string(app) + "/Contents/Info.plist"),
                         PlistValue(PlistValue::Dict{{"CFBundleIdentifier", "com.maker.app"}}),
                         plist::Format::Binary);
    }
    Shell shell; // start-up starts the catalogue build
    // Complete a build on this fixture before the screen is first opened.
    SearchApplications::shareSearchApplications().buildCatalogue();
    // The screen lists the removable one when it is first opened.
    bindMainQueueToEventLoop(*QCoreApplication::instance());
    shell.app.startTool(tool::Uninstaller);
    auto* uninstaller = qobject_cast<ToolScreen*>(shell.screen(tool::Uninstaller));
    ASSERT_NE(uninstaller, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return uninstaller->stage() == ToolScreen::Stage::Details; }, 60000));
    const QTreeWidget* list = uninstaller->detailList()->categoryTree();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Foo");
    MainQueue::setWakeHandler(nullptr);
}
