// The Alias Finder screen on the offscreen platform, over its own engine (with a
// privileged removal of the test's own) and links in the test home: scan, report,
// the repair with the candidates found, and removal.
#include "app/AliasRepairSheet.h"
#include "app/AliasViewController.h"
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/Sidebar.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "model/CleanFinish.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

std::string home(const std::string& relative) {
    return paths::join(paths::homePath(), relative);
}

void file(const std::string& relative) {
    std::filesystem::create_directories(std::filesystem::path(home(relative)).parent_path());
    std::ofstream(home(relative)) << "contents";
}

void link(const std::string& relative, const std::string& target) {
    std::filesystem::create_directories(std::filesystem::path(home(relative)).parent_path());
    std::filesystem::create_symlink(home(target), home(relative));
}

class AliasScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        test::removeTree(paths::homePath()); // refuses anything outside the test sandbox
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        file("Documents/notes.txt");
        file("Desktop/archive/report.pdf"); // where the missing target went
        link("Desktop/report link", "Documents/gone/report.pdf");
        link("Desktop/notes link", "Documents/notes.txt");
        link("Desktop/.hidden link", "Documents/gone/other.pdf");
        app.setSwitchDuration(0);
        app.awakeFromNib();
        screen = std::make_unique<AliasViewController>(&app, nullptr, &engine);
        screen->setAnimationScale(0);
        app.listenTo(screen.get());
    }
    void TearDown() override {
        screen.reset();
        MainQueue::setWakeHandler(nullptr);
        test::removeTree(paths::homePath());
        GuiTest::TearDown();
    }
    void scanToDetails() {
        screen->scanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->stage() == Stage::Report; }, 60000));
        screen->detailClicked();
    }
    std::vector<std::string> handedToHelper;
    AliasHelper engine{
        [this](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
            handedToHelper.insert(handedToHelper.end(), paths.begin(), paths.end());
            *notRemoved = paths;
            return true;
        },
        [] {}};
    AppDelegate app;
    std::unique_ptr<AliasViewController> screen;
};

} // namespace

// The screen's whole flow, in each layout.
class AliasScreenFlow : public test::InLayout, public AliasScreen {};

TEST_P(AliasScreenFlow, ScanReportsTheTickedBrokenAliasesAndRepairMovesOneToTheWorkingList) {
    EXPECT_EQ(screen->folderList()->folders(),
              QStringList{QString::fromStdString(home("Desktop"))});
    screen->scanClicked();
    EXPECT_EQ(screen->progressList()->title(), "Alias Cleanup");
    EXPECT_EQ(screen->progressList()->text(), "Analyzing you files...");
    ASSERT_EQ(screen->progressList()->rowCount(), 2);
    EXPECT_EQ(screen->progressList()->rowTitle(0), "Break Alias");
    EXPECT_EQ(screen->progressList()->rowTitle(1), "Alias");
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Report, 60000);
    ReportPanel* report = screen->reportPanel();
    EXPECT_EQ(report->title(), "Scan Completed");
    EXPECT_EQ(report->headlines()[0], "CAN BE SALFLY CLEANED AUTOMATICALLY");
    EXPECT_EQ(report->headlines()[1],
              "Review detailed scan to see the particular items Pallomar offers to remove.");
    // Only what is ticked: the broken one.
    EXPECT_EQ(report->rowNames(), QStringList{"Break Alias"});
    EXPECT_EQ(report->rowValues(), QStringList{"1 Items"});
    SidebarRow* row =
        app.sidebar()->row(static_cast<int>(AppDelegate::resetCellIndex(tool::AliasFinder)));
    EXPECT_EQ(row->label(), "1 Items");

    screen->detailClicked();
    DetailList* details = screen->detailList();
    details->selectCategory(0);
    ASSERT_NE(details->treeItem({0}), nullptr);
    ASSERT_EQ(details->itemTree()->topLevelItemCount(), 1); // the hidden one is never listed
    EXPECT_EQ(details->treeItem({0})->text(DetailList::NameColumn), "report link");
    EXPECT_EQ(details->treeItem({0})->checkState(0), Qt::Checked);
    EXPECT_EQ(
        details->treeItem({0})->text(DetailList::StatusColumn),
        QString::fromStdString("Nothing is at its target " + home("Documents/gone/report.pdf")));
    details->selectCategory(1);
    EXPECT_EQ(details->treeItem({0})->checkState(0), Qt::Unchecked);
    EXPECT_EQ(details->treeItem({0})->text(DetailList::StatusColumn),
              QString::fromStdString("Points to " + home("Documents/notes.txt")));

    // The repair offers what the scan found with the target's name.
    details->selectCategory(0);
    EXPECT_EQ(details->itemActionButton()->text(), "Fix Alias...");
    EXPECT_FALSE(details->itemActionButton()->isEnabled()); // no item chosen yet
    details->itemTree()->setCurrentItem(details->treeItem({0}));
    EXPECT_TRUE(details->itemActionButton()->isEnabled());
    QStringList offered;
    screen->setTargetChooser([&](const AliasObj& alias, const QStringList& candidates) {
        EXPECT_EQ(alias.name, "report link");
        offered = candidates;
        return candidates.value(0);
    });
    details->itemActionButton()->click();
    EXPECT_EQ(offered, QStringList{QString::fromStdString(home("Desktop/archive/report.pdf"))});
    EXPECT_EQ(engine.breakAliasCount(), 0);
    EXPECT_EQ(engine.aliasCount(), 2);
    EXPECT_EQ(std::filesystem::read_symlink(home("Desktop/report link")),
              home("Desktop/archive/report.pdf"));
    EXPECT_EQ(details->emptyText(), "There are no unneeded Files to removed");
    EXPECT_FALSE(screen->runButton()->isEnabled()); // the repaired one is unticked
    details->selectCategory(1);
    EXPECT_EQ(details->itemTree()->topLevelItemCount(), 2);

    // Removing a working alias takes the alias, never its target.
    details->clickItem({0});
    screen->cleanClicked();
    ASSERT_NE(screen->confirmation(), nullptr);
    screen->confirmation()->confirmButton()->click();
    EXPECT_EQ(screen->progressList()->title(), "Unneeded Alias Files Removal");
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Done, 60000);
    EXPECT_EQ(engine.aliasCount(), 1);
    EXPECT_TRUE(std::filesystem::exists(home("Documents/notes.txt")));
    EXPECT_TRUE(std::filesystem::exists(home("Desktop/archive/report.pdf")));
    EXPECT_TRUE(screen->completionPanel()->total().startsWith("Cleaned:  "));
    EXPECT_TRUE(defaults().hasKey(keys::aliasLastCleanDateKey));
    EXPECT_TRUE(handedToHelper.empty());
}

TEST_F(AliasScreen, AFailedRepairChangesNothingAndSaysSo) {
    scanToDetails();
    screen->detailList()->selectCategory(0);
    screen->setTargetChooser([&](const AliasObj&, const QStringList&) {
        std::filesystem::remove(home("Desktop/report link")); // gone meanwhile
        return QString::fromStdString(home("Documents/notes.txt"));
    });
    screen->fixClicked(0, {0});
    EXPECT_EQ(engine.breakAliasCount(), 1);
    ASSERT_NE(screen->currentNotice(), nullptr);
    EXPECT_EQ(screen->currentNotice()->text(),
              QString::fromStdString("report link could not be pointed at " +
                                     home("Documents/notes.txt") + "."));

    // Dismissing the choice does nothing at all.
    screen->currentNotice()->close();
    screen->setTargetChooser([](const AliasObj&, const QStringList&) { return QString(); });
    screen->fixClicked(0, {0});
    EXPECT_EQ(engine.breakAliasCount(), 1);
}

TEST_F(GuiTest, TheRepairSheetOffersTheCandidatesAndAnyOtherTarget) {
    AliasObj alias;
    alias.name = "report link";
    alias.orgPath = "/gone/report.pdf";
    {
        AliasRepairSheet sheet(alias, {"/a/report.pdf", "/b/report.pdf"}, nullptr);
        EXPECT_EQ(sheet.windowTitle(), "Fix Alias...");
        ASSERT_EQ(sheet.candidateList()->count(), 2);
        EXPECT_TRUE(sheet.fixButton()->isEnabled()); // the first is chosen
        sheet.candidateList()->setCurrentRow(1);
        sheet.fixButton()->click();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        EXPECT_EQ(sheet.target(), "/b/report.pdf");
    }
    AliasRepairSheet sheet(alias, {"/a/report.pdf"}, nullptr);
    sheet.setPanel([](QWidget*) { return QString("/c/elsewhere"); });
    sheet.otherButton()->click();
    EXPECT_EQ(sheet.target(), "/c/elsewhere");
}

INSTANTIATE_TEST_SUITE_P(Layouts, AliasScreenFlow, test::bothLayouts());
