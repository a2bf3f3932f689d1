#include "app/AppDelegate.h"
#include "app/HomeViewController.h"
#include "app/LaunchOptions.h"
#include "app/SingleInstance.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/HomeAdvice.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"
#include "tests/support/ProcessCapture.h"
#include "tests/support/TempTree.h"

#include <QSignalSpy>
#include <fstream>
#include <nlohmann/json.hpp>

using namespace tessaly;
using tessaly::test::GuiTest;
using tessaly::test::settle;

namespace {

Date daysAgo(double days) {
    return dateFromUnixSeconds(unixSeconds(now()) - days * 86400.0);
}

// A meminfo of the fixture root with the given share of free memory.
void writeMeminfo(double freeRatio) {
    std::string dir = paths::systemPath("/proc");
    paths::makeDirectories(dir);
    long total = 8'000'000;
    long free = static_cast<long>(total * freeRatio);
    std::ofstream(paths::join(dir, "meminfo"))
        << "MemTotal: " << total << " kB\nMemFree: " << free
        << " kB\nActive: " << (total - free) / 2 << " kB\nInactive: " << (total - free) / 2
        << " kB\n";
}

struct Home {
    AppDelegate app;
    HomeViewController* home = nullptr;
    Home() {
        app.setSwitchDuration(0);
        app.awakeFromNib();
        home = app.homeScreen();
    }
    std::vector<std::int64_t> tools() const {
        std::vector<std::int64_t> t;
        for (const auto& d : home->datas())
            t.push_back(d.tool);
        return t;
    }
};

} // namespace

class HomeScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        writeMeminfo(0.9);
    }
    // A later run with every tool but System Cleanup cleaned recently.
    void laterRun(double daysSinceLastClean) {
        defaults().setBool(keys::firstRunKey, true);
        defaults().setDate(keys::lastCleanDate, daysAgo(daysSinceLastClean));
        defaults().setDate(keys::systemLastCleanDateKey, daysAgo(daysSinceLastClean));
        for (const char* k : {keys::duplicateLastCleanDateKey, keys::oldLastCleanDateKey,
                              keys::aliasLastCleanDateKey, keys::browserLastCleanDateKey})
            defaults().setDate(k, daysAgo(1));
    }
};

// The first run in each layout: a Linux home hears of its computer.
class HomeScreenFirstRun : public test::InLayout, public HomeScreen {};

TEST_P(HomeScreenFirstRun, FirstRun) {
    Home h;
    EXPECT_TRUE(h.home->bFirst());
    EXPECT_TRUE(settings().firstRun.load());
    EXPECT_EQ(h.tools(), (std::vector<std::int64_t>{1, 4, 8}));
    EXPECT_EQ(h.home->headline(),
              isLinux() ? "Follow the instructions below to improve the performance of your "
                          "computer immediately!"
                        : kFirstRunHeadline);
    EXPECT_EQ(h.home->continueLine(),
              "All recommended tools finish, push \"conitune\" to select other tools");
    EXPECT_EQ(h.home->rowInfoTexts(), (QStringList{"", "", ""}));
    EXPECT_EQ(h.home->rowView(1)->name(), "Duplicate Cleanup");
}

TEST_F(HomeScreen, RowsAndHeadlinesFor13_14And15Days) {
    struct Case {
        double days;
        const char* headline;
        std::vector<std::int64_t> tools;
    };
    const Case cases[] = {
        {13.5, kRegularHeadline, {}},
        {14.5, kFourteenDaysHeadline, {1}},
        {15.5, kLongTimeHeadline, {1}},
    };
    for (const auto& c : cases) {
        SetUp();
        laterRun(c.days);
        Home h;
        EXPECT_FALSE(h.home->bFirst()) << c.days;
        EXPECT_FALSE(settings().firstRun.load()) << c.days;
        EXPECT_TRUE(h.home->showInfo()) << c.days;
        EXPECT_EQ(h.home->headline(), c.headline) << c.days;
        EXPECT_EQ(h.tools(), c.tools) << c.days;
        if (!c.tools.empty()) {
            EXPECT_EQ(h.home->rowInfoTexts().value(0),
                      QString::fromStdString("Last clean date:" +
                                             CommonFunction::dateStr(daysAgo(c.days))));
        }
    }
}

TEST_F(HomeScreen, LowMemoryRowShowsTheRatio) {
    laterRun(20);
    writeMeminfo(0.25);
    Home h;
    ASSERT_EQ(h.tools(), (std::vector<std::int64_t>{1, 8}));
    EXPECT_EQ(h.home->rowInfoTexts().value(1), "Low Free memory 0.250");
}

TEST_F(HomeScreen, ARowClickStartsItsToolOnceAndContinueOffersOthers) {
    laterRun(20);
    Home h;
    h.home->start();
    ASSERT_TRUE(h.home->canSelect());
    h.home->clickRow(0);
    EXPECT_EQ(h.app.currentVC()->index, tool::SystemCleanup);
    EXPECT_TRUE(h.app.currentVC()->comeHome);
    EXPECT_FALSE(h.home->canSelect());

    h.app.backHome();
    h.home->onContinue();
    EXPECT_EQ(h.tools(), (std::vector<std::int64_t>{3, 5, 7}));
    h.home->clickRow(2);
    EXPECT_EQ(h.app.currentVC()->index, tool::AliasFinder);
}

TEST_F(HomeScreen, CleanSummaryAndLastCleanDate) {
    laterRun(20); // rows System Cleanup (dated) and Memory or Old Files
    Home h;
    ASSERT_EQ(h.home->datas()[0].tool, tool::SystemCleanup);
    EXPECT_EQ(h.home->headline(), kLongTimeHeadline);

    // Counted files only: "%ld Files". A tool without a row counts all the same.
    CleanResult<int> files;
    files.fileCount = 6;
    postCleanFinish(cleanFinishInfo(tool::DuplicatesFinder, files));
    EXPECT_EQ(h.home->summaryLine(), "Cleaned:  6 Files");
    EXPECT_FALSE(h.home->datas()[0].finish);
    EXPECT_TRUE(defaults().dateForKey(keys::lastCleanDate).has_value());
    // The headline knows that a clean was just done.
    EXPECT_EQ(h.home->headline(), kRegularHeadline);

    // The recommended tool's row is marked and its last clean date is today's.
    CleanReport report;
    report.removeCount = 4;
    report.removeSize = 2'000'000;
    postCleanFinish(cleanFinishInfo(tool::SystemCleanup, report));
    EXPECT_EQ(h.home->summaryLine(),
              QString::fromStdString("Cleaned:  " + CommonFunction::getSizeString(2'000'000)));
    EXPECT_EQ(h.home->summary().fileCount, 10);
    EXPECT_TRUE(h.home->datas()[0].finish);
    EXPECT_TRUE(h.home->rowView(0)->finished());
    EXPECT_EQ(h.home->rowInfoTexts()[0],
              QString::fromStdString("Last clean date:" + CommonFunction::dateStr(now())));

    // A result of the wrong kind: totals unchanged, the date stored all the same.
    defaults().removeObjectForKey(keys::lastCleanDate);
    postCleanFinish({tool::OldFilesFinder, std::string("not a result")});
    EXPECT_EQ(h.home->summary().fileCount, 10);
    EXPECT_TRUE(defaults().dateForKey(keys::lastCleanDate).has_value());
}

TEST_F(HomeScreen, CliStatusRecommendsWhatTheHomeScreenShows) {
    struct Setup {
        const char* name;
        bool firstRun;
        double days;
        double freeRatio;
    };
    const Setup setups[] = {
        {"first run", true, 0, 0.9},
        {"overdue, memory low", false, 20, 0.2},
        {"fresh, memory fine", false, 2, 0.9},
    };
    for (const auto& s : setups) {
        SetUp();
        writeMeminfo(s.freeRatio);
        if (!s.firstRun)
            laterRun(s.days);

        // The CLI first (it only reads), then the home screen on the same settings.
        test::CapturedRun cli = test::runCaptured(TESSALY_CLI_PATH, {"status", "--json"});
        ASSERT_EQ(cli.exitCode, 0) << cli.standardError;
        nlohmann::json status = nlohmann::json::parse(cli.standardOutput);
        Home h;

        const auto& rows = status["home"]["recommendations"];
        ASSERT_EQ(rows.size(), h.home->datas().size()) << s.name;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i]["tool"].get<std::int64_t>(), h.home->datas()[i].tool) << s.name;
            EXPECT_EQ(QString::fromStdString(rows[i]["info"].get<std::string>()),
                      h.home->rowInfoTexts().value(static_cast<int>(i)))
                << s.name;
        }
        EXPECT_EQ(QString::fromStdString(status["home"]["headline"].get<std::string>()),
                  h.home->headline())
            << s.name;
        EXPECT_EQ(status["home"]["firstRun"].get<bool>(), h.home->bFirst()) << s.name;
    }
}

using LaunchHandOver = GuiTest;

TEST_F(LaunchHandOver, OptionsParseAndTravelToTheRunningInstance) {
    LaunchOptions o = parseLaunchOptions(
        {"--eraser", "a.txt", "/abs/b", "--duplicates", "d1", "--old-files", "o", "--eraser", "c"},
        "/work");
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.eraser, (QStringList{"/work/a.txt", "/abs/b", "/work/c"}));
    EXPECT_EQ(o.duplicates, QStringList{"/work/d1"});
    EXPECT_EQ(o.oldFiles, QStringList{"/work/o"});
    EXPECT_FALSE(parseLaunchOptions({"stray"}, "/").error.isEmpty());
    EXPECT_FALSE(parseLaunchOptions({"--nope"}, "/").error.isEmpty());
    EXPECT_FALSE(parseLaunchOptions({}, "/").hasHandOver());

    SingleInstance running(QString("tessaly-test-%1").arg(QCoreApplication::applicationPid()));
    SingleInstance second(running.name());
    EXPECT_FALSE(second.sendToRunning(encodeHandOver(o), 200)); // nobody listens yet
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);
    ASSERT_TRUE(second.sendToRunning(encodeHandOver(o)));
    ASSERT_TRUE(received.wait(5000));
    auto back = decodeHandOver(received.takeFirst().at(0).toByteArray());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->eraser, o.eraser);
    EXPECT_EQ(back->duplicates, o.duplicates);
    EXPECT_EQ(back->oldFiles, o.oldFiles);
    EXPECT_FALSE(decodeHandOver("not json").has_value());
}

INSTANTIATE_TEST_SUITE_P(Layouts, HomeScreenFirstRun, test::bothLayouts());
