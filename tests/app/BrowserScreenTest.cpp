// The Browser Cleanup screen on the offscreen platform, with its own engine over
// a fixture home holding real-schema browser profiles.
#include "app/BrowserViewController.h"
#include "app/MainQueueBinding.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunningAppsSheet.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "tests/ScanCode/browser/BrowserFixture.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"

#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessaly;
using test::BrowserMachine;
using test::FixtureDb;
using test::GuiTest;
using test::Visit;

namespace {

using Stage = ToolScreen::Stage;

class BrowserScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
    }
    void TearDown() override {
        MainQueue::setWakeHandler(nullptr);
        GuiTest::TearDown();
    }
    void waitFor(BrowserViewController& screen, Stage stage) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == stage; }, 60000));
    }
    std::vector<std::string> categoryNames(const DetailList& details) {
        std::vector<std::string> out;
        for (int i = 0; i < details.categoryTree()->topLevelItemCount(); ++i)
            out.push_back(details.categoryTree()->topLevelItem(i)->text(0).toStdString());
        return out;
    }
    BrowserMachine m;
};

// A small image in one colour, as a browser keeps a site's icon.
Data pngOf(QColor colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return Data(bytes.begin(), bytes.end());
}

// A child that runs a harmless program; the screen knows it as a browser.
pid_t startStandIn() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sleep", "sleep", "600", nullptr);
        ::_exit(127);
    }
    return pid;
}

class BrowserScreenInBothLayouts : public BrowserScreen,
                                   public ::testing::WithParamInterface<const char*> {};

} // namespace

TEST(BrowserChoice, TheDetailsOpenOnTheBrowserWithMostItemsWithTheTieRules) {
    struct Case {
        std::array<std::int64_t, 3> items; // Safari, Chrome, Firefox
        int expected;
    };
    for (const Case& c : std::vector<Case>{{{5, 1, 1}, browser::Safari},
                                           {{1, 5, 1}, browser::Chrome},
                                           {{1, 1, 5}, browser::Firefox},
                                           {{3, 3, 1}, browser::Chrome},
                                           {{3, 1, 3}, browser::Firefox},
                                           {{1, 3, 3}, browser::Firefox},
                                           {{2, 2, 2}, browser::Safari},
                                           {{0, 0, 0}, browser::Safari}})
        EXPECT_EQ(BrowserDetailSource::preferredBrowser(c.items), c.expected)
            << c.items[0] << " " << c.items[1] << " " << c.items[2];
}

TEST_P(BrowserScreenInBothLayouts, ScanReviewOneBrowserAtATimeAndClean) {
    m.useLayout(GetParam());
    const bool mac = std::string(GetParam()) == "macos";
    // Two visits in the same local day, whenever the test runs.
    std::time_t clock = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&clock, &local);
    local.tm_hour = 12;
    local.tm_min = 0;
    local.tm_sec = 0;
    const double now = static_cast<double>(std::mktime(&local));
    const std::string cookies = m.chromeCookies({".news.example", "news.example", "shop.example"});
    const std::string history =
        m.chromeHistory({{"https://news.example/a", "News A", {now - 60}},
                         {"https://shop.example/cart", "Cart", {now - 120}}});
    m.chromeFavicons({{"https://news.example/", pngOf(Qt::red)}});
    const std::string profile = m.firefoxProfile("ab12.default-esr");
    m.firefoxCookies(profile, {{"tracker.example", ""}});
    auto engine = m.engine();
    setAskBeforeCleaning(defaults(), false);
    BrowserViewController screen(nullptr, nullptr, engine.get());
    screen.setAnimationScale(0);
    EXPECT_EQ(screen.idlePanel()->title(), "Browser Cleanup");
    std::vector<CleanFinishInfo> finished;
    ObserverToken finish(NotificationCenter::defaultCenter(),
                         NotificationCenter::defaultCenter().addObserver(
                             cleanFinishNotification, [&](const Notification& n) {
                                 finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
                             }));
    std::vector<WorkResult> results;
    QObject::connect(&screen, &ToolBaseViewController::workFinished,
                     [&](const WorkResult& r) { results.push_back(r); });

    screen.scanClicked();
    EXPECT_EQ(screen.stage(), Stage::Scanning);
    EXPECT_EQ(screen.progressList()->text(), "Analyzing you Browser...");
    waitFor(screen, Stage::Report);
    // One row per module the scan stored, with its items (none of Safari's
    // where the layout has no place for it).
    EXPECT_EQ(screen.progressList()->rowCount(), mac ? 17 : 11);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].sidebarValue, 5); // 2 Chrome sites, 2 visits, 1 Firefox site

    ReportPanel* report = screen.reportPanel();
    EXPECT_EQ(report->title(), "Unneeded Browser Items Removal");
    EXPECT_EQ(report->headlines()[0], "CAN BE SALFLY CLEANED AUTOMATICALLY");
    EXPECT_EQ(report->total(), "5 Items");
    EXPECT_EQ(report->rowNames(), (QStringList{"Cookie", "History"}));
    EXPECT_EQ(report->rowValues(), (QStringList{"3   Items", "2   Items"}));

    // The details open on Chrome, which has the most; Safari has nothing to
    // choose, and no button at all on a Linux home.
    screen.detailClicked();
    ASSERT_EQ(screen.stage(), Stage::Details);
    EXPECT_EQ(screen.shownBrowser(), browser::Chrome);
    EXPECT_FALSE(screen.browserButton(browser::Safari)->isEnabled());
    EXPECT_EQ(screen.browserButton(browser::Safari)->isHidden(), !mac);
    EXPECT_TRUE(screen.browserButton(browser::Firefox)->isEnabled());
    DetailList* details = screen.detailList();
    EXPECT_EQ(categoryNames(*details),
              (std::vector<std::string>{"Chrom Cookie", "Risky Chrom Cookie", "Chrom History",
                                        "Chrom Topsite", "Chrom Cache", "Chrom Session"}));
    EXPECT_EQ(details->categoryTree()->topLevelItem(0)->text(1), "2 Items");
    details->selectCategory(3);
    EXPECT_EQ(details->emptyText(), "There are no unneeded Files to removed");

    // The visits of a day, each with its site's icon once loaded.
    details->selectCategory(2);
    QTreeWidgetItem* day = details->treeItem({0});
    ASSERT_NE(day, nullptr);
    ASSERT_EQ(day->childCount(), 2);
    QTreeWidgetItem* news = day->child(0)->text(0) == "News A" ? day->child(0) : day->child(1);
    const QImage icon = news->icon(0).pixmap(16, 16).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(8, 8), QColor(Qt::red));

    // One of "Select All" / "Deselect All", as the browser's ticks stand.
    EXPECT_FALSE(details->selectAllButton()->isVisibleTo(details));
    details->deselectAll();
    EXPECT_EQ(engine->getBrowserCheck(browser::Chrome), 0);
    EXPECT_TRUE(details->selectAllButton()->isVisibleTo(details));
    EXPECT_FALSE(details->deselectAllButton()->isVisibleTo(details));
    EXPECT_EQ(engine->getBrowserCheck(browser::Firefox), 1); // another browser's stay
    details->selectAll();
    EXPECT_EQ(engine->getBrowserCheck(browser::Chrome), 4);
    // Keep the shop's cookies; Firefox's tracker goes.
    details->selectCategory(0);
    ASSERT_EQ(details->treeItem({1})->text(0), "shop.example");
    details->clickItem({1});
    screen.showBrowser(browser::Safari); // nothing there: stays on Chrome
    EXPECT_EQ(screen.shownBrowser(), browser::Chrome);
    screen.browserButton(browser::Firefox)->click();
    EXPECT_EQ(screen.shownBrowser(), browser::Firefox);
    EXPECT_EQ(screen.totalsText(), "4 Items");

    screen.cleanClicked();
    waitFor(screen, Stage::Done);
    ReportPanel* done = screen.completionPanel();
    EXPECT_EQ(done->title(), "Cleanup Completed");
    EXPECT_EQ(done->total(), "Cleaned:  4 Items");
    EXPECT_EQ(done->message(), "4 Items of browser items were removed from your system.");
    EXPECT_TRUE(defaults().dateForKey(keys::browserLastCleanDateKey).has_value());
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].tool, tool::BrowserCleanup);
    EXPECT_EQ(std::any_cast<std::int64_t>(finished[0].result), 4);

    // On disk: both forms of the news site and both visits went, the shop's cookie stayed.
    FixtureDb c(cookies);
    EXPECT_EQ(c.column("SELECT host_key FROM cookies"), std::vector<std::string>{"shop.example"});
    EXPECT_EQ(c.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    FixtureDb h(history);
    EXPECT_TRUE(h.column("SELECT url FROM urls").empty());
    EXPECT_TRUE(h.column("SELECT id FROM visits").empty());
    FixtureDb f(profile + "/cookies.sqlite");
    EXPECT_TRUE(f.column("SELECT host FROM moz_cookies").empty());

    // The detailed results show what is left, on the browser that has it.
    screen.detailClicked();
    EXPECT_EQ(screen.shownBrowser(), browser::Chrome);
    EXPECT_EQ(categoryNames(*details)[0], "Chrom Cookie");
    EXPECT_EQ(details->categoryTree()->topLevelItem(0)->text(1), "0 Items");
}

INSTANTIATE_TEST_SUITE_P(Layouts, BrowserScreenInBothLayouts, test::bothLayouts());

TEST_F(BrowserScreen, NothingFoundSaysSoAndOpensOnSafari) {
    auto engine = m.engine();
    BrowserViewController screen(nullptr, nullptr, engine.get());
    screen.setAnimationScale(0);
    screen.scanClicked();
    waitFor(screen, Stage::Report);
    EXPECT_EQ(screen.reportPanel()->title(), "Scan Completed");
    EXPECT_EQ(screen.reportPanel()->message(), "No selected file can be remove");
    screen.detailClicked();
    EXPECT_EQ(screen.shownBrowser(), browser::Safari);
    for (int b = 0; b < 3; ++b)
        EXPECT_FALSE(screen.browserButton(b)->isEnabled());
    EXPECT_FALSE(screen.runButton()->isEnabled());
}

TEST_F(BrowserScreen, ALinuxHomeOffersNoSafari) {
    test::ScopedEnv layout("TESSALY_LAYOUT", "linux");
    auto engine = m.engine();
    BrowserViewController screen(nullptr, nullptr, engine.get());
    EXPECT_TRUE(screen.browserButton(browser::Safari)->isHidden());
    EXPECT_FALSE(screen.browserButton(browser::Chrome)->isHidden());
    EXPECT_FALSE(screen.browserButton(browser::Firefox)->isHidden());
    // Nothing found: the details open on a browser the home has.
    screen.setAnimationScale(0);
    screen.scanClicked();
    waitFor(screen, Stage::Report);
    screen.detailClicked();
    EXPECT_EQ(screen.shownBrowser(), browser::Chrome);
}

TEST_F(BrowserScreen, RunningBrowsersAreOfferedToQuitAndTheScanThenStarts) {
    for (const bool quitAll : {true, false}) {
        SCOPED_TRACE(quitAll ? "Quit All" : "Continue");
        const pid_t pid = startStandIn();
        ASSERT_GT(pid, 0);
        m.processes = {test::runningProgram(pid, "chromium")};
        auto engine = m.engine();
        BrowserViewController screen(nullptr, nullptr, engine.get());
        screen.setAnimationScale(0);

        screen.scanClicked();
        EXPECT_EQ(screen.stage(), Stage::Idle);
        RunningAppsSheet* sheet = screen.runningSheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->title(), "Some application should be closed for complete scan.");
        EXPECT_EQ(sheet->text(), "Please quit the following applications by manually.");
        EXPECT_EQ(sheet->names(), QStringList{"Google Chrome"});
        screen.scanClicked(); // the sheet is open: nothing more happens
        EXPECT_EQ(screen.runningSheet(), sheet);

        if (quitAll)
            sheet->quitAll();
        else
            sheet->continueWithout();
        EXPECT_EQ(screen.stage(), Stage::Scanning);
        waitFor(screen, Stage::Report);

        // Quit All asked the browser to end; Continue left it running.
        int status = 0;
        if (!quitAll) {
            EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0);
            ::kill(pid, SIGKILL);
        }
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), quitAll ? SIGTERM : SIGKILL);
    }
}
