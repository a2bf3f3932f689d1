// The Duplicates Finder screen on the offscreen platform, with its own engine
// over fixture folders in the test home.
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "app/DuplicateViewController.h"
#include "app/MainQueueBinding.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/TempTree.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace tessaly;
using tessaly::test::GuiTest;

namespace {

using Stage = DuplicateViewController::Stage;

std::string home(const std::string& relative) {
    return paths::join(paths::homePath(), relative);
}

void write(const std::string& relative, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(home(relative)).parent_path());
    std::ofstream(home(relative), std::ios::binary) << bytes;
}

class DuplicateScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        test::removeTree(paths::homePath()); // refuses anything outside the test sandbox
        std::filesystem::create_directories(paths::homePath());
        bindMainQueueToEventLoop(*QCoreApplication::instance());
    }
    void TearDown() override {
        MainQueue::setWakeHandler(nullptr);
        test::removeTree(paths::homePath());
        GuiTest::TearDown();
    }
    DuplicateFile engine;
};

QStringList homeFolders(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names)
        out << QString::fromStdString(home(n));
    return out;
}

} // namespace

TEST_F(DuplicateScreen, FolderListStartsWithTheUsualFoldersAndTakesHandOvers) {
    for (const char* d : {"Downloads", "Pictures", "Documents", "Other"})
        std::filesystem::create_directories(home(d));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    EXPECT_EQ(screen.folderList()->folders(), homeFolders({"Documents", "Pictures", "Downloads"}));

    screen.addFiles({QString::fromStdString(home("Other")), QString::fromStdString(home("x.txt")),
                     QString::fromStdString(home("Pictures"))});
    EXPECT_EQ(screen.folderList()->folders(),
              homeFolders({"Documents", "Pictures", "Downloads", "Other"}));

    // With an empty list the scan button opens the sheet instead of scanning.
    screen.folderList()->clearList();
    int asked = 0;
    screen.folderList()->setFolderChooser([&](QWidget*) {
        ++asked;
        return QStringList{};
    });
    screen.startScan();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(screen.stage(), Stage::Folders);
    EXPECT_FALSE(screen.isDoing);
}

TEST_F(DuplicateScreen, ScanReviewAndRemove) {
    write("Documents/plan.pdf", std::string(20000, 'd'));
    write("Documents/old/plan copy.pdf", std::string(20000, 'd'));
    for (const char* p : {"Pictures/cat.jpg", "Pictures/a/cat 1.jpg", "Pictures/b/cat 2.jpg"})
        write(p, std::string(30000, 'c'));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setFillSeconds(0);
    std::vector<std::int64_t> finishedTools;
    ObserverToken finish(NotificationCenter::defaultCenter(),
                         NotificationCenter::defaultCenter().addObserver(
                             cleanFinishNotification, [&](const Notification& n) {
                                 finishedTools.push_back(
                                     std::any_cast<CleanFinishInfo>(n.object).tool);
                             }));

    screen.startScan();
    EXPECT_EQ(screen.stage(), Stage::Scanning);
    EXPECT_TRUE(screen.isDoing);
    EXPECT_EQ(screen.progressList()->title(), "Duplicate Cleanup");
    EXPECT_EQ(screen.progressList()->text(), "Analyzing you files...");
    ASSERT_EQ(screen.progressList()->rowCount(), 6);
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_FALSE(screen.isDoing);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(screen.progressList()->rowState(k), ProgressList::State::Done);

    ReportPanel* report = screen.reportPanel();
    EXPECT_EQ(report->title(), "Scan Completed");
    EXPECT_EQ(report->rowNames(), (QStringList{"Picture", "Document"}));
    EXPECT_EQ(report->total(), QString::fromStdString(CommonFunction::getSizeString(80000)));
    EXPECT_EQ(report->headlines()[0], "CAN BE SALFLY CLEANED AUTOMATICALLY");

    screen.showDetails();
    DetailList* details = screen.detailList();
    ASSERT_EQ(details->categoryTree()->topLevelItemCount(), 6);
    details->selectCategory(0); // Picture, the largest
    QTreeWidgetItem* group = details->treeItem({0});
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->childCount(), 3);
    EXPECT_EQ(group->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(group->child(2)->text(0), "cat.jpg"); // the kept copy, unticked
    EXPECT_EQ(group->child(2)->checkState(0), Qt::Unchecked);
    details->clickItem({0}); // a mixed box unticks the group
    EXPECT_EQ(group->checkState(0), Qt::Unchecked);
    details->clickItem({0, 1}); // tick one copy on its own
    EXPECT_EQ(group->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(details->categoryTree()->topLevelItem(0)->text(1),
              QString::fromStdString(CommonFunction::getSizeString(30000)));
    details->deselectAll();
    details->selectCategory(1); // Document: keep its pair ticked
    details->selectCategory(0);
    details->clickItem({0, 0});

    screen.startRemoval();
    EXPECT_EQ(screen.progressList()->title(), "Unneeded Duplicate Files Removal");
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Cleaned, 60000);
    EXPECT_EQ(screen.lastResult().fileCount, 2);
    EXPECT_EQ(report->title(), "Cleanup Completed");
    EXPECT_EQ(report->total(),
              "Cleaned:  " + QString::fromStdString(CommonFunction::getSizeString(50000)));
    EXPECT_EQ(report->message(),
              QString::fromStdString(CommonFunction::getSizeString(50000)) +
                  " of unneeded items were removed from your system and applications.");
    ASSERT_TRUE(defaults().hasKey(keys::duplicateLastCleanDateKey));
    EXPECT_TRUE(defaults().objectForKey(keys::duplicateLastCleanDateKey)->isDate());
    EXPECT_EQ(finishedTools, (std::vector<std::int64_t>{tool::DuplicatesFinder}));
    EXPECT_FALSE(std::filesystem::exists(home("Documents/old/plan copy.pdf")));
    EXPECT_TRUE(std::filesystem::exists(home("Documents/plan.pdf")));
    EXPECT_TRUE(std::filesystem::exists(home("Pictures/cat.jpg")));
    int catsLeft = 0;
    for (const char* p : {"Pictures/a/cat 1.jpg", "Pictures/b/cat 2.jpg"})
        catsLeft += std::filesystem::exists(home(p)) ? 1 : 0;
    EXPECT_EQ(catsLeft, 1);

    screen.startOver();
    EXPECT_EQ(screen.stage(), Stage::Folders);
}

TEST_F(DuplicateScreen, NothingToRemoveSaysSo) {
    write("Documents/only.pdf", std::string(20000, 'o'));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setFillSeconds(0);
    screen.startScan();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_EQ(screen.reportPanel()->message(), "No selected file can be remove");
    EXPECT_TRUE(screen.reportPanel()->rowNames().isEmpty());
}

TEST_F(DuplicateScreen, AStoppedScanSaysSectionsAreIncomplete) {
    write("Documents/a.pdf", std::string(20000, 'a'));
    write("Documents/b/a.pdf", std::string(20000, 'a'));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setFillSeconds(0);
    engine.group.enter(); // the scan waits for this before it groups anything
    screen.startScan();
    screen.stopClicked();
    engine.group.leave();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_EQ(screen.reportPanel()->message(), "No selected file can be remove");
    screen.showDetails();
    EXPECT_EQ(screen.detailList()->emptyText(),
              "Scan was interrupted before this section has been completely");
    EXPECT_TRUE(std::filesystem::exists(home("Documents/b/a.pdf")));
}
