// The Duplicates Finder screen on the offscreen platform, with its own engine
// over fixture folders in the test home.
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "app/DuplicateViewController.h"
#include "app/MainQueueBinding.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace tessaly;
using tessaly::test::GuiTest;

namespace {

using Stage = ToolScreen::Stage;

std::string home(const std::string& relative) {
    return paths::join(paths::homePath(), relative);
}

void write(const std::string& relative, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(home(relative)).parent_path());
    std::ofstream(home(relative), std::ios::binary) << bytes;
}

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
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
    // Scans the listed folders to the report and opens the detailed results.
    void scanToDetails(DuplicateViewController& screen) {
        screen.scanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Report; }, 60000));
        screen.detailClicked();
        ASSERT_EQ(screen.stage(), Stage::Details);
    }
    DuplicateFile engine;
};

QStringList homeFolders(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names)
        out << QString::fromStdString(home(n));
    return out;
}

QStringList childNames(QTreeWidgetItem* group) {
    QStringList names;
    for (int i = 0; i < group->childCount(); ++i)
        names << group->child(i)->text(DetailList::NameColumn);
    return names;
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
    screen.scanClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(screen.stage(), Stage::Idle);
    EXPECT_FALSE(screen.isDoing);
}

// The screen's whole flow, in each layout.
class DuplicateScreenFlow : public test::InLayout, public DuplicateScreen {};

TEST_P(DuplicateScreenFlow, ScanReviewAndRemove) {
    write("Documents/plan.pdf", std::string(20000, 'd'));
    write("Documents/old/plan copy.pdf", std::string(20000, 'd'));
    for (const char* p : {"Pictures/cat.jpg", "Pictures/a/cat 1.jpg", "Pictures/b/cat 2.jpg"})
        write(p, std::string(30000, 'c'));
    // What removing a copy gives back: its blocks, as du counts them.
    const std::int64_t plan = test::duBytes({home("Documents/old/plan copy.pdf")});
    const std::int64_t cat = test::duBytes({home("Pictures/a/cat 1.jpg")});
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    std::vector<std::int64_t> finishedTools;
    ObserverToken finish(NotificationCenter::defaultCenter(),
                         NotificationCenter::defaultCenter().addObserver(
                             cleanFinishNotification, [&](const Notification& n) {
                                 finishedTools.push_back(
                                     std::any_cast<CleanFinishInfo>(n.object).tool);
                             }));

    screen.scanClicked();
    EXPECT_EQ(screen.stage(), Stage::Scanning);
    EXPECT_TRUE(screen.isDoing);
    EXPECT_EQ(screen.progressList()->title(), "Duplicate Cleanup");
    EXPECT_EQ(screen.progressList()->text(), "Analyzing you files...");
    EXPECT_TRUE(screen.stopButton()->isEnabled()); // the whole scan can be stopped
    ASSERT_EQ(screen.progressList()->rowCount(), 6);
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_FALSE(screen.isDoing);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(screen.progressList()->rowState(k), ProgressList::State::Done);

    ReportPanel* report = screen.reportPanel();
    EXPECT_EQ(report->title(), "Scan Completed");
    EXPECT_EQ(report->rowNames(), (QStringList{"Picture", "Document"}));
    EXPECT_EQ(report->total(), sizeText(plan + 2 * cat));
    EXPECT_EQ(report->headlines()[0], "CAN BE SALFLY CLEANED AUTOMATICALLY");

    screen.detailClicked();
    DetailList* details = screen.detailList();
    EXPECT_EQ(screen.totalsText(), report->total());
    ASSERT_EQ(details->categoryTree()->topLevelItemCount(), 6);
    details->selectCategory(0); // Picture, the largest
    QTreeWidgetItem* group = details->treeItem({0});
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->childCount(), 3);
    EXPECT_EQ(group->checkState(0), Qt::PartiallyChecked);
    // The kept copy is unticked and says that it stays.
    EXPECT_EQ(group->child(2)->text(DetailList::NameColumn), "cat.jpg");
    EXPECT_EQ(group->child(2)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(group->child(2)->text(DetailList::StatusColumn), "Kept");
    EXPECT_EQ(group->child(0)->text(DetailList::StatusColumn), "");
    details->clickItem({0}); // a mixed box unticks the group
    EXPECT_EQ(group->checkState(0), Qt::Unchecked);
    details->clickItem({0, 1}); // tick one copy on its own
    EXPECT_EQ(group->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(details->categoryTree()->topLevelItem(0)->text(1), sizeText(cat));
    details->deselectAll(); // the category shown, as its place says
    EXPECT_EQ(details->categoryTree()->topLevelItem(1)->checkState(0), Qt::PartiallyChecked);
    details->clickItem({0, 0});

    screen.cleanClicked();
    ASSERT_NE(screen.confirmation(), nullptr);
    EXPECT_EQ(screen.confirmation()->text(),
              "Remove 2 items, " + sizeText(plan + cat) + "? This cannot be undone.");
    screen.confirmation()->confirmButton()->click();
    EXPECT_EQ(screen.progressList()->title(), "Unneeded Duplicate Files Removal");
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 60000);
    EXPECT_EQ(screen.lastOutcome().removed, 2);
    ReportPanel* done = screen.completionPanel();
    EXPECT_EQ(done->title(), "Cleanup Completed");
    EXPECT_EQ(done->total(), "Cleaned:  " + sizeText(plan + cat));
    EXPECT_EQ(done->message(),
              sizeText(plan + cat) +
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

    screen.startOverClicked();
    EXPECT_EQ(screen.stage(), Stage::Idle);
}

TEST_F(DuplicateScreen, CopiesThatStaySayWhyOnTheirRows) {
    write("Pictures/IMG_1.jpg", std::string(30000, 'p'));
    write("Pictures/b/IMG_1 copy.jpg", std::string(30000, 'p'));
    setAskBeforeCleaning(defaults(), false);
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    scanToDetails(screen);
    DetailList* details = screen.detailList();
    details->selectCategory(0);
    QTreeWidgetItem* group = details->treeItem({0});
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(childNames(group), (QStringList{"IMG_1 copy.jpg", "IMG_1.jpg"}));

    // Every copy ticked: one stays all the same, and its row says so.
    details->clickItem({0, 1});
    EXPECT_EQ(details->treeItem({0, 1})->text(DetailList::StatusColumn),
              "Kept all the same: one copy always stays");
    EXPECT_EQ(screen.totalsText(), // what really goes
              sizeText(test::duBytes({home("Pictures/b/IMG_1 copy.jpg")})));
    details->clickItem({0, 1});
    EXPECT_EQ(details->treeItem({0, 1})->text(DetailList::StatusColumn), "Kept");

    // A copy that changed after the scan stays, and says why.
    write("Pictures/b/IMG_1 copy.jpg", std::string(30001, 'p'));
    screen.cleanClicked();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 60000);
    EXPECT_TRUE(std::filesystem::exists(home("Pictures/b/IMG_1 copy.jpg")));
    EXPECT_EQ(screen.completionPanel()->problemsNote()->summary(), "1 item was left in place.");
    EXPECT_EQ(screen.completionPanel()->total(), "");
    ASSERT_TRUE(screen.doneDetailsButton()->isEnabled());
    screen.doneDetailsButton()->click();
    EXPECT_EQ(screen.stage(), Stage::Details);
    details->selectCategory(0);
    ASSERT_NE(details->treeItem({0, 0}), nullptr);
    EXPECT_EQ(details->treeItem({0, 0})->text(DetailList::NameColumn), "IMG_1 copy.jpg");
    EXPECT_EQ(details->treeItem({0, 0})->text(DetailList::StatusColumn),
              "Not removed: changed since the scan");
}

TEST_F(DuplicateScreen, SortsByNameBothWaysAndByDateWithoutChangingTheKeptCopy) {
    // IMG_1 last used in 2020, IMG_2 in 2021, IMG_3 in 2022.
    for (char c : {'2', '3', '1'}) {
        const std::string name = std::string("IMG_") + c;
        for (const std::string& p :
             {"Pictures/" + name + ".jpg", "Pictures/b/" + name + " copy.jpg"}) {
            write(p, std::string(20000, c));
            const timespec when{1577880000 + (c - '1') * 31622400L, 0};
            const timespec both[2] = {when, when};
            ASSERT_EQ(::utimensat(AT_FDCWD, home(p).c_str(), both, 0), 0);
        }
    }
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    scanToDetails(screen);
    DetailList* details = screen.detailList();
    details->selectCategory(0);
    auto groupNames = [&] {
        QStringList names;
        for (int i = 0; i < details->itemTree()->topLevelItemCount(); ++i)
            names << details->treeItem({i})->text(DetailList::NameColumn).section(' ', 0, 0);
        return names;
    };
    details->setSort(DataSource::Name, true);
    EXPECT_EQ(groupNames(), (QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}));
    EXPECT_EQ(details->sortDirectionBox()->currentText(), "Ascending");
    details->setSort(DataSource::Name, false);
    EXPECT_EQ(groupNames(), (QStringList{"IMG_3.jpg", "IMG_2.jpg", "IMG_1.jpg"}));
    // Copies too: Z to A puts the plain name first; the copy kept is still the same.
    QTreeWidgetItem* group = details->treeItem({0});
    EXPECT_EQ(childNames(group), (QStringList{"IMG_3.jpg", "IMG_3 copy.jpg"}));
    details->clickItem({0});
    details->clickItem({0});
    EXPECT_EQ(group->child(0)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(group->child(1)->checkState(0), Qt::Checked);

    // The list has dates, so it sorts by them too (oldest first when ascending).
    QStringList labels;
    for (const auto& [label, type] : details->sortChoices())
        labels << label;
    EXPECT_TRUE(labels.contains("Date"));
    EXPECT_FALSE(details->itemTree()->isColumnHidden(DetailList::DateColumn));
    details->setSort(DataSource::DateType, true);
    EXPECT_EQ(details->sortTypeBox()->currentText(), "Date");
    EXPECT_EQ(groupNames(), (QStringList{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}));
    EXPECT_EQ(details->treeItem({0})->child(0)->text(DetailList::DateColumn), "2020-01-01");
    details->setSort(DataSource::DateType, false);
    EXPECT_EQ(groupNames(), (QStringList{"IMG_3.jpg", "IMG_2.jpg", "IMG_1.jpg"}));
}

TEST_F(DuplicateScreen, NothingToRemoveSaysSo) {
    write("Documents/only.pdf", std::string(20000, 'o'));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    screen.scanClicked();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_EQ(screen.reportPanel()->message(), "No selected file can be remove");
    EXPECT_TRUE(screen.reportPanel()->rowNames().isEmpty());
    screen.detailClicked();
    EXPECT_FALSE(screen.runButton()->isEnabled());
}

TEST_F(DuplicateScreen, AStoppedScanSaysSectionsAreIncomplete) {
    write("Documents/a.pdf", std::string(20000, 'a'));
    write("Documents/b/a.pdf", std::string(20000, 'a'));
    DuplicateViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    engine.group.enter(); // the scan waits for this before it groups anything
    screen.scanClicked();
    screen.stopClicked();
    EXPECT_FALSE(screen.stopButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.bFinish(); }, 20000));
    engine.group.leave();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 60000);
    EXPECT_EQ(screen.reportPanel()->message(), "No selected file can be remove");
    EXPECT_EQ(screen.reportPanel()->note(),
              "The scan was stopped before it had finished: what it had not reached is not "
              "listed.");
    screen.detailClicked();
    EXPECT_EQ(screen.detailList()->emptyText(),
              "Scan was interrupted before this section has been completely");
    EXPECT_EQ(screen.detailSource().categoryInfo(0).icon, "iconWarning");
    EXPECT_TRUE(std::filesystem::exists(home("Documents/b/a.pdf")));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DuplicateScreenFlow, test::bothLayouts());
