// The System Security screen on the offscreen platform, over its own engine with
// the shipped signature tables (and a privileged removal of the test's own):
// the scan types, a Custom Scan through report, details and removal, and a scan
// that finds nothing.
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/NoticeSheet.h"
#include "app/SecurityViewController.h"
#include "app/Sidebar.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "app/common/StartupDiskAccess.h"
#include "app/common/ToolStagePanel.h"
#include "app/settings/ScanSettingViewController.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

const std::string kEicar = "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*";

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

class SecurityScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        app.setSwitchDuration(0);
        app.awakeFromNib();
        screen = std::make_unique<SecurityViewController>(&app, nullptr, &engine);
        screen->setAnimationScale(0);
        app.listenTo(screen.get());
    }
    void TearDown() override {
        screen.reset();
        MainQueue::setWakeHandler(nullptr);
        GuiTest::TearDown();
    }
    // A Custom Scan of one folder, to its report.
    void scanFolder(const std::string& folder) {
        screen->setScanType(SecurityViewController::CustomScan);
        screen->folderList()->setFolders({q(folder)});
        screen->scanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen->stage() == Stage::Report; }, 60000));
    }
    test::TempTree t;
    VirtualScan engine{
        [](const std::vector<std::string>& paths, std::vector<std::string>* notRemoved) {
            *notRemoved = paths;
            return true;
        },
        [] {}};
    AppDelegate app;
    std::unique_ptr<SecurityViewController> screen;
};

} // namespace

TEST_F(SecurityScreen, OffersTheThreeScanTypesAndACustomScanNeedsAFolder) {
    EXPECT_EQ(screen->idlePanel()->title(), "System Security");
    EXPECT_EQ(screen->idlePanel()->description(),
              "Protected against viruses, spyware and malware.");
    QListWidget* types = screen->typeList();
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->item(0)->text(), "System Scan\nScan evenything on your hard drive");
    EXPECT_EQ(types->item(1)->text(), "Home Scan\nScan your movies,downloads,musics...");
    EXPECT_EQ(types->item(2)->text(), "Custom Scan\nScan specific files and folders");
    EXPECT_TRUE(screen->folderList()->isHidden());
    EXPECT_TRUE(screen->idlePanel()->scanButton()->isEnabled());

    types->setCurrentRow(2); // the keyboard or a click
    EXPECT_EQ(screen->scanType(), SecurityViewController::CustomScan);
    EXPECT_FALSE(screen->folderList()->isHidden());
    EXPECT_FALSE(screen->idlePanel()->scanButton()->isEnabled());
    screen->folderList()->addFolders({q(t.dir("scan"))});
    EXPECT_TRUE(screen->idlePanel()->scanButton()->isEnabled());
    screen->setScanType(SecurityViewController::HomeScan);
    EXPECT_TRUE(screen->folderList()->isHidden());
}

// The screen's whole flow, in each layout.
class SecurityScreenFlow : public test::InLayout, public SecurityScreen {};

TEST_P(SecurityScreenFlow, ACustomScanReportsTheKindsAndRemovesWhatIsTicked) {
    const std::string folder = t.dir("scan");
    t.file("scan/eicar.com", kEicar);
    t.file("scan/notes/EICAR.PDF", kEicar); // capitals: examined
    t.file("scan/notes/eicar.pdf", kEicar); // never examined
    t.file("scan/clean.txt", "nothing to see");

    screen->setScanType(SecurityViewController::CustomScan);
    screen->folderList()->setFolders({q(folder)});
    screen->scanClicked();
    EXPECT_EQ(screen->progressList()->title(), "System Security");
    EXPECT_EQ(screen->progressList()->text(), "Analyzing you System...");
    EXPECT_EQ(screen->progressList()->rowTitle(0), "Custom Scan");
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Report, 60000);

    ReportPanel* report = screen->reportPanel();
    EXPECT_EQ(report->rowNames(),
              (QStringList{"Viruses Objects:", "Malware Objects:", "Spyware Objects:",
                           "Scanned Objects:", "Scanned Time:"}));
    const QStringList values = report->rowValues();
    ASSERT_EQ(values.size(), 5);
    EXPECT_EQ(values[0], "2 Items");
    EXPECT_EQ(values[1], "0 Items");
    EXPECT_EQ(values[2], "0 Items");
    EXPECT_EQ(values[3], "5 Items"); // four files and the folder
    EXPECT_EQ(values[4], q(VirtualScan::covertString(engine.scanTime)));
    SidebarRow* row =
        app.sidebar()->row(static_cast<int>(AppDelegate::resetCellIndex(tool::SystemSecurity)));
    EXPECT_EQ(row->label(), "2 Items");

    screen->detailClicked();
    DetailList* details = screen->detailList();
    EXPECT_EQ(details->categoryTree()->topLevelItem(0)->text(0), "Security");
    ASSERT_EQ(details->itemTree()->topLevelItemCount(), 2);
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(details->treeItem({i})->text(DetailList::NameColumn), "EICAR-Test-File");
        paths << details->treeItem({i})->text(DetailList::PathColumn);
    }
    paths.sort();
    EXPECT_EQ(paths, (QStringList{q(t.path("scan/eicar.com")), q(t.path("scan/notes/EICAR.PDF"))}));

    // Unticking one is counted in the report too.
    details->clickItem({0});
    screen->backClicked();
    EXPECT_EQ(screen->reportPanel()->rowValues()[0], "1 Items");
    screen->detailClicked();

    screen->cleanClicked();
    ASSERT_NE(screen->confirmation(), nullptr);
    screen->confirmation()->confirmButton()->click();
    EXPECT_EQ(screen->progressList()->title(), "Viruses Files Removal");
    QTRY_COMPARE_WITH_TIMEOUT(screen->stage(), Stage::Done, 60000);
    EXPECT_EQ(t.exists("scan/eicar.com") + t.exists("scan/notes/EICAR.PDF"), 1);
    EXPECT_TRUE(t.exists("scan/notes/eicar.pdf"));
    EXPECT_EQ(screen->completionPanel()->total(), "Cleaned:  1 Items");
    ASSERT_TRUE(defaults().hasKey(keys::duplicateLastCleanDateKey));
    EXPECT_EQ(engine.virs.size(), 1u);
}

TEST_F(SecurityScreen, AScanThatFindsNothingStillReportsWhatItScanned) {
    t.file("scan/clean.txt", "nothing to see");
    scanFolder(t.path("scan"));
    EXPECT_EQ(screen->reportPanel()->title(), "Scan Completed");
    EXPECT_EQ(screen->reportPanel()->rowValues().mid(0, 4),
              (QStringList{"0 Items", "0 Items", "0 Items", "1 Items"}));
    screen->detailClicked();
    EXPECT_EQ(screen->detailList()->categoryTree()->topLevelItem(0)->text(0), "Security");
    EXPECT_EQ(screen->detailList()->emptyText(), "There are no viruses to found");
    EXPECT_FALSE(screen->runButton()->isEnabled());
}

TEST_F(SecurityScreen, ASystemScanAsksForTheStartUpDiskWhereAccessMustBeGranted) {
    EXPECT_FALSE(startupDiskAccessRequired()); // not on this platform
    screen->setStartupDiskAccessRequired(true);
    screen->setScanType(SecurityViewController::SystemScan);
    int asked = 0;
    screen->setFolderChooser([&] {
        ++asked;
        return QString("/home");
    });
    screen->scanClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(screen->stage(), Stage::Idle);
    ASSERT_NE(screen->currentNotice(), nullptr);
    EXPECT_EQ(screen->currentNotice()->text(), "Please Select Macintosh HD");

    screen->setFolderChooser([] { return QString("/"); });
    screen->scanClicked();
    EXPECT_TRUE(settings().selectFile);
    EXPECT_TRUE(defaults().hasKey(keys::searchLocationKey));
    EXPECT_EQ(screen->stage(), Stage::Idle); // granted; the next press scans
    settings().selectFile = false;
}

TEST_F(SecurityScreen, TheUsersSignatureFolderFromThePreferencesIsReadBeforeEachScan) {
    t.file("scan/kit.bin", "ZZZZZ" + std::string(100, '.'));
    const std::string mine = t.dir("signatures");
    t.file("signatures/mine.ndb", "Exploit.Kit.Mine:0:0:5a5a5a5a5a\n");
    t.file("signatures/notes.txt", "not a signature file");
    ScanSettingViewController pane;
    pane.setSignatureFolder(q(mine));
    EXPECT_EQ(defaults().stringForKey(keys::signatureFolder), mine);
    EXPECT_TRUE(pane.clearSignaturesButton()->isEnabled());
    scanFolder(t.path("scan"));
    EXPECT_EQ(screen->reportPanel()->rowValues().mid(0, 4),
              (QStringList{"0 Items", "0 Items", "1 Items", "1 Items"}));

    // Set to none: the next scan has only the shipped tables.
    pane.clearSignaturesButton()->click();
    EXPECT_EQ(defaults().stringForKey(keys::signatureFolder), "");
    EXPECT_FALSE(pane.clearSignaturesButton()->isEnabled());
    screen->startOverClicked();
    scanFolder(t.path("scan"));
    EXPECT_EQ(screen->reportPanel()->rowValues().mid(0, 4),
              (QStringList{"0 Items", "0 Items", "0 Items", "1 Items"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, SecurityScreenFlow, test::bothLayouts());
