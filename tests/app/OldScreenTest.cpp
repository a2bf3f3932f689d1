// The Old Files Finder screen on the offscreen platform, over its own engine and
// fixture files in the test home whose times are set explicitly.
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/OldViewController.h"
#include "app/Sidebar.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/DiskUsage.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

constexpr long kDay = 86400;

std::string home(const std::string& relative) {
    return paths::join(paths::homePath(), relative);
}

// A file of `size` bytes, last used (read and written) `days` ago: sparse, or
// with every byte written when `dense` (so that removing it frees its length).
void oldFile(const std::string& relative, off_t size, long days, bool dense = false) {
    const std::string path = home(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    if (dense) {
        const std::string chunk(1 << 20, 'o');
        for (off_t at = 0; at < size; at += static_cast<off_t>(chunk.size()))
            ASSERT_GT(
                ::pwrite(fd, chunk.data(),
                         std::min<std::size_t>(chunk.size(), static_cast<std::size_t>(size - at)),
                         at),
                0);
    }
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    const timespec when{::time(nullptr) - days * kDay, 0};
    const timespec both[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), both, 0), 0);
}

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
}

class OldScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        test::removeTree(paths::homePath()); // refuses anything outside the test sandbox
        std::filesystem::create_directories(home("Downloads"));
        bindMainQueueToEventLoop(*QCoreApplication::instance());
    }
    void TearDown() override {
        MainQueue::setWakeHandler(nullptr);
        test::removeTree(paths::homePath());
        GuiTest::TearDown();
    }
    OldFileScan engine;
};

} // namespace

TEST_F(OldScreen, TheListStartsWithDownloadsAndTakesHandedOverFolders) {
    std::filesystem::create_directories(home("Archive"));
    OldViewController screen(nullptr, nullptr, &engine);
    EXPECT_EQ(screen.idlePanel()->title(), "Old Files");
    EXPECT_EQ(screen.idlePanel()->description(),
              "Quickly find and delete old files which remain unopened for a long period by "
              "time frame.");
    const QString downloads = QString::fromStdString(home("Downloads"));
    const QString archive = QString::fromStdString(home("Archive"));
    EXPECT_EQ(screen.folderList()->folders(), QStringList{downloads});
    screen.addFiles({archive, downloads, QString::fromStdString(home("missing"))});
    EXPECT_EQ(screen.folderList()->folders(), (QStringList{downloads, archive}));

    screen.folderList()->clearList();
    int asked = 0;
    screen.folderList()->setFolderChooser([&](QWidget*) {
        ++asked;
        return QStringList{};
    });
    screen.scanClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(screen.stage(), Stage::Idle);
}

// The screen's whole flow, in each layout.
class OldScreenFlow : public test::InLayout, public OldScreen {};

TEST_P(OldScreenFlow, ScanOpensTheAgeClassesThenRemovesWhatIsTickedAndStillTheSame) {
    oldFile("Downloads/setup.exe", 5'000'000, 40, true);  // 1 month ago, ticked in advance
    oldFile("Downloads/film.mov", 10'000'000, 800, true); // 2 years ago
    oldFile("Downloads/notes.bin", 4'999'999, 40);        // too small
    oldFile("Downloads/fresh.bin", 6'000'000, 20);        // opened lately
    oldFile("Downloads/.hidden.bin", 6'000'000, 40);      // hidden
    oldFile("Downloads/Sub/big.iso", 2'000'000'000, 400); // 1 year ago
    AppDelegate app;
    app.setSwitchDuration(0);
    app.awakeFromNib();
    OldViewController screen(&app, nullptr, &engine);
    app.listenTo(&screen);
    screen.setAnimationScale(0);
    std::vector<std::string> notes;
    std::vector<std::int64_t> finishedTools;
    ObserverToken all(
        NotificationCenter::defaultCenter(),
        NotificationCenter::defaultCenter().addObserver("", [&](const Notification& n) {
            notes.push_back(n.name);
            if (n.name == cleanFinishNotification)
                finishedTools.push_back(std::any_cast<CleanFinishInfo>(n.object).tool);
        }));

    screen.scanClicked();
    EXPECT_EQ(screen.progressList()->title(), "Old Files");
    EXPECT_EQ(screen.progressList()->text(), "Analyzing you files...");
    ASSERT_EQ(screen.progressList()->rowCount(), 1);
    EXPECT_EQ(screen.progressList()->rowTitle(0), "Downloads");
    // Straight to the detailed results.
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Details, 60000);
    EXPECT_NE(std::find(notes.begin(), notes.end(), oldScanFinishNotfication), notes.end());
    // The sidebar shows what was found, not only what is ticked.
    SidebarRow* row =
        app.sidebar()->row(static_cast<int>(AppDelegate::resetCellIndex(tool::OldFilesFinder)));
    EXPECT_EQ(row->label(), sizeText(2'015'000'000));

    DetailList* details = screen.detailList();
    QTreeWidget* categories = details->categoryTree();
    ASSERT_EQ(categories->topLevelItemCount(), 5);
    QStringList ages;
    for (int c = 0; c < 5; ++c)
        ages << categories->topLevelItem(c)->text(0);
    EXPECT_EQ(ages, (QStringList{"2 years ago", "1 year ago", "6 months ago", "3 months ago",
                                 "1 month ago"}));
    details->selectCategory(3);
    EXPECT_EQ(details->emptyText(), "There are no unneeded Files to removed");
    details->selectCategory(1);
    ASSERT_NE(details->treeItem({0}), nullptr);
    EXPECT_EQ(details->treeItem({0})->text(DetailList::NameColumn), "More than 10MB (1)");
    details->selectCategory(4);
    QTreeWidgetItem* sizeClass = details->treeItem({0});
    ASSERT_NE(sizeClass, nullptr);
    EXPECT_EQ(sizeClass->text(DetailList::NameColumn), "5MB - 10MB (1)");
    ASSERT_EQ(sizeClass->childCount(), 1);
    EXPECT_EQ(sizeClass->child(0)->text(DetailList::NameColumn), "setup.exe");
    EXPECT_EQ(sizeClass->child(0)->checkState(0), Qt::Checked);
    EXPECT_FALSE(sizeClass->child(0)->text(DetailList::DateColumn).isEmpty());
    EXPECT_EQ(screen.totalsText(), sizeText(5'000'000));

    // A size class's box ticks its files.
    details->selectCategory(0);
    ASSERT_NE(details->treeItem({0, 0}), nullptr);
    EXPECT_EQ(details->treeItem({0, 0})->text(DetailList::NameColumn), "film.mov");
    details->clickItem({0});
    EXPECT_EQ(details->treeItem({0, 0})->checkState(0), Qt::Checked);
    EXPECT_EQ(categories->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(screen.totalsText(), sizeText(15'000'000));

    // The summary panel is behind Back.
    screen.backClicked();
    EXPECT_EQ(screen.stage(), Stage::Report);
    EXPECT_EQ(screen.reportPanel()->title(), "Scan Completed");
    EXPECT_EQ(screen.reportPanel()->headlines()[1],
              "Review detailed scan to see the particular items Pallomar offers to remove");
    EXPECT_EQ(screen.reportPanel()->rowNames(), (QStringList{"2 years ago", "1 month ago"}));
    screen.detailClicked();

    // One of the two changed after the scan: it stays, and says why.
    oldFile("Downloads/setup.exe", 5'000'001, 40);
    const std::int64_t filmBlocks = test::duBytes({home("Downloads/film.mov")});
    screen.cleanClicked();
    ASSERT_NE(screen.confirmation(), nullptr);
    screen.confirmation()->confirmButton()->click();
    EXPECT_EQ(screen.progressList()->title(), "Unneeded Old Files Removal");
    EXPECT_EQ(screen.progressList()->rowCount(), 2); // a row per ticked file
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 60000);
    EXPECT_FALSE(std::filesystem::exists(home("Downloads/film.mov")));
    EXPECT_TRUE(std::filesystem::exists(home("Downloads/setup.exe")));
    EXPECT_EQ(screen.completionPanel()->total(), "Cleaned:  " + sizeText(10'000'000));
    EXPECT_EQ(screen.completionPanel()->problemsNote()->summary(), "1 item was left in place.");
    ASSERT_TRUE(defaults().hasKey(keys::oldLastCleanDateKey));
    EXPECT_EQ(finishedTools, (std::vector<std::int64_t>{tool::OldFilesFinder}));
    EXPECT_EQ(app.cleanTotle(), filmBlocks); // what the disk gave back

    screen.doneDetailsButton()->click();
    details->selectCategory(4);
    ASSERT_NE(details->treeItem({0, 0}), nullptr);
    EXPECT_EQ(details->treeItem({0, 0})->text(DetailList::StatusColumn),
              "Not removed: changed since the scan");
    details->selectCategory(0);
    EXPECT_EQ(details->emptyText(), "There are no unneeded Files to removed");
}

TEST_F(OldScreen, FilesSortByLastOpenedDateBothWays) {
    oldFile("Downloads/b.bin", 6'000'000, 60);
    oldFile("Downloads/a.bin", 7'000'000, 50);
    oldFile("Downloads/c.bin", 8'000'000, 40);
    OldViewController screen(nullptr, nullptr, &engine);
    screen.setAnimationScale(0);
    screen.scanClicked();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Details, 60000);
    DetailList* details = screen.detailList();
    details->selectCategory(4);
    auto names = [&] {
        QStringList out;
        QTreeWidgetItem* sizeClass = details->treeItem({0});
        for (int i = 0; sizeClass && i < sizeClass->childCount(); ++i)
            out << sizeClass->child(i)->text(DetailList::NameColumn);
        return out;
    };
    details->setSort(DataSource::DateType, true);
    EXPECT_EQ(names(), (QStringList{"b.bin", "a.bin", "c.bin"})); // oldest first
    details->setSort(DataSource::DateType, false);
    EXPECT_EQ(names(), (QStringList{"c.bin", "a.bin", "b.bin"}));
    details->setSort(DataSource::Name, true);
    EXPECT_EQ(names(), (QStringList{"a.bin", "b.bin", "c.bin"}));
}

TEST(OldDetails, AStoppedScanSaysItsEmptyClassesAreIncomplete) {
    OldDetailSource source;
    source.setData(makeAgeClasses(now()), true);
    EXPECT_EQ(source.categoryInfo(0).emptyText,
              "Scan was interrupted before this section has been completely");
    EXPECT_EQ(source.categoryInfo(0).icon, "iconWarning");
    source.setData(makeAgeClasses(now()), false);
    EXPECT_EQ(source.categoryInfo(0).icon, "chek");
}

INSTANTIATE_TEST_SUITE_P(Layouts, OldScreenFlow, test::bothLayouts());
