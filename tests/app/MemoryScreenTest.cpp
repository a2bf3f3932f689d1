// Memory Optimization on the offscreen platform, over a memory source of the
// test's own (and once over the shared Function with a stand-in release program
// and a fixture meminfo): the rows and chart, the result of a release by how much
// it freed, the limit of three releases, the 180-second result, Stop, "Smart Auto
// Optimize", and the shell's exclusion of long work both ways.
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/MemoryCleanViewController.h"
#include "app/MemoryView.h"
#include "app/NoticeSheet.h"
#include "app/OldViewController.h"
#include "helper/DeamonInstaller.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"
#include "tests/app/QtEnvironment.h"
#include "tests/support/Layouts.h"
#include "tests/support/TempTree.h"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/stat.h>

using namespace tessaly;
using tessaly::test::GuiTest;

namespace {

// Samples the test sets; a release adds `frees` pages to the free ones (and
// takes them from the inactive ones). A release can be held until it is stopped.
struct StandIn {
    std::mutex mutex;
    std::condition_variable stopped;
    MemoryData memory{200'000, 300'000, 250'000, 150'000};
    double frees = 0;
    bool hold = false;
    bool stop = false;
    bool starts = true;
    std::atomic<int> releases{0};
    std::atomic<int> samples{0};

    MemorySource source() {
        return {[this]() -> std::optional<MemoryData> {
                    ++samples;
                    std::lock_guard<std::mutex> guard(mutex);
                    return memory;
                },
                [this] {
                    std::unique_lock<std::mutex> lock(mutex);
                    if (!starts)
                        return false;
                    ++releases;
                    if (hold)
                        stopped.wait(lock, [this] { return stop; });
                    memory.free += frees;
                    memory.inactive -= frees;
                    return true;
                },
                [this] {
                    std::lock_guard<std::mutex> guard(mutex);
                    stop = true;
                    stopped.notify_all();
                }};
    }
};

class MemoryScreen : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
    }
    void TearDown() override {
        MainQueue::setWakeHandler(nullptr);
        GuiTest::TearDown();
    }
    std::unique_ptr<MemoryCleanViewController> screen(AppDelegate* shell = nullptr) {
        auto s = std::make_unique<MemoryCleanViewController>(shell, nullptr, standIn.source());
        s->setTimeScale(0);
        return s;
    }
    // Presses "OPTIMIZE" and waits until the screen is free again.
    static void optimize(MemoryCleanViewController& s) {
        s.onClean();
        ASSERT_TRUE(s.isDoing);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !s.isDoing; }, 20000));
    }
    StandIn standIn;
};

QString memoryText(double pages) {
    return QString::fromStdString(CommonFunction::getMemorySizeString2(pages));
}

} // namespace

TEST_F(MemoryScreen, ShowsTheFourKindsOfPagesAndRefreshesEveryElevenTicks) {
    auto s = screen();
    s->start();
    EXPECT_EQ(s->rowValue(0), memoryText(200'000));
    EXPECT_EQ(s->rowValue(3), memoryText(150'000));
    EXPECT_EQ(s->freeCount, 200'000);
    EXPECT_EQ(s->freeSizeText(), "MEMORY");
    EXPECT_EQ(s->stateText(), "OPTIMIZE MEMORY TO SPEED UP YOUR SYSTEM");
    EXPECT_TRUE(s->timer.isActive());
    EXPECT_EQ(s->timer.interval(), 100);
    const MemoryView::Fractions shares = s->chart()->dataSource();
    EXPECT_FLOAT_EQ(shares[0], 200'000.0f / 900'000.0f);
    EXPECT_FLOAT_EQ(shares[0] + shares[1] + shares[2] + shares[3], 1.0f);

    // The button pulses by 0.05 a tick; the sample is taken again on the eleventh.
    auto* pulse = qobject_cast<QGraphicsOpacityEffect*>(s->optimizeButton()->graphicsEffect());
    ASSERT_NE(pulse, nullptr);
    const qreal opacity = pulse->opacity();
    const int before = standIn.samples;
    standIn.memory.free = 210'000;
    for (int tick = 1; tick <= 10; ++tick)
        s->animi();
    EXPECT_NEAR(pulse->opacity(), opacity - 0.5, 1e-6);
    EXPECT_EQ(standIn.samples, before);
    s->animi();
    EXPECT_EQ(standIn.samples, before + 1);
    EXPECT_EQ(s->rowValue(0), memoryText(210'000));
    EXPECT_EQ(s->count, 0);
}

// The screen's whole flow, in each layout.
class MemoryScreenFlow : public test::InLayout, public MemoryScreen {};

TEST_P(MemoryScreenFlow, WhatARunFreedDecidesItsResult) {
    struct Case {
        double frees;
        bool doneMark;
        QString field;
        const char* state;
    };
    const Case cases[] = {
        {2500, true, "OPTIMIZE", "MEMORT IS THE BEST, NO OPTIMIZATION IS NEEDED"},
        {-400, true, "OPTIMIZE", "MEMORT IS THE BEST, NO OPTIMIZATION IS NEEDED"},
        {2501, false, "9.8 MB", "MEMORY IS OPTIMIZED, APP WILL NOW RUN FASTER"},
        {300'000, false, "1.14 GB", "MEMORY IS OPTIMIZED, APP WILL NOW RUN FASTER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frees);
        standIn.memory = {200'000, 300'000, 400'000, 150'000};
        standIn.frees = c.frees;
        std::vector<CleanFinishInfo> finished;
        ObserverToken note(NotificationCenter::defaultCenter(),
                           NotificationCenter::defaultCenter().addObserver(
                               cleanFinishNotification, [&](const Notification& n) {
                                   finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
                               }));
        auto s = screen();
        s->start();
        optimize(*s);
        EXPECT_EQ(s->cleanCount, 1);
        EXPECT_EQ(s->doneMarkVisible(), c.doneMark);
        EXPECT_EQ(s->freeSizeVisible(), !c.doneMark);
        EXPECT_EQ(s->freeSizeText(), c.field);
        EXPECT_EQ(s->stateText(), c.state);
        EXPECT_EQ(s->cleanTimer.isActive(), c.doneMark);
        EXPECT_EQ(s->cleanTimer.interval(), 180'000);
        EXPECT_FALSE(s->optimizeButton()->isHidden());
        EXPECT_TRUE(s->progressBar()->isHidden());
        ASSERT_EQ(finished.size(), 1u);
        EXPECT_EQ(finished[0].tool, tool::MemoryOptimization);
        EXPECT_EQ(std::any_cast<std::int64_t>(finished[0].result),
                  static_cast<std::int64_t>(c.frees));
        // The chart moved to the new shares.
        EXPECT_EQ(s->chart()->drawn(), s->chart()->dataSource());
        EXPECT_FLOAT_EQ(s->chart()->dataSource()[0],
                        static_cast<float>(200'000 + c.frees) / 1'050'000.0f);
        // The refresh resumes.
        QTRY_COMPARE(s->addCount, 1);
    }
}

TEST_F(MemoryScreen, TheNothingToGainResultEndsAfterItsTimeAndTheDisplayKeepsRefreshing) {
    standIn.frees = 10;
    auto s = screen();
    s->start();
    optimize(*s);
    ASSERT_TRUE(s->cleanTimer.isActive());
    s->resetCleanFlag(); // the timer's end
    EXPECT_FALSE(s->doneMarkVisible());
    EXPECT_TRUE(s->freeSizeVisible());
    EXPECT_EQ(s->freeSizeText(), "MEMORY");
    EXPECT_EQ(s->stateText(), "OPTIMIZE MEMORY TO SPEED UP YOUR SYSTEM");
    const int before = standIn.samples;
    for (int tick = 0; tick < 11; ++tick)
        s->animi();
    EXPECT_EQ(standIn.samples, before + 1);
}

TEST_F(MemoryScreen, OnlyThreeReleasesRunFromOneScreen) {
    standIn.frees = 50'000;
    auto s = screen();
    s->start();
    for (int press = 1; press <= 4; ++press) {
        SCOPED_TRACE(press);
        optimize(*s);
    }
    EXPECT_EQ(standIn.releases, 3);
    EXPECT_EQ(s->cleanCount, 3);
    // The fourth ran nothing, whatever memory did meanwhile: the done mark.
    EXPECT_TRUE(s->doneMarkVisible());
    EXPECT_EQ(s->stateText(), "MEMORT IS THE BEST, NO OPTIMIZATION IS NEEDED");
}

TEST_F(MemoryScreen, StopEndsTheReleaseAndTheRunGoesOnToItsResult) {
    standIn.hold = true;
    auto s = screen();
    s->start();
    s->onClean();
    EXPECT_TRUE(s->optimizeButton()->isHidden());
    EXPECT_FALSE(s->progressBar()->isHidden());
    EXPECT_EQ(s->freeSizeText(), "OPTIMIZE");
    ASSERT_TRUE(QTest::qWaitFor([&] { return standIn.releases == 1; }, 20000));
    ASSERT_FALSE(s->stopButton()->isHidden());
    s->stopButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!s->isDoing, 20000);
    EXPECT_TRUE(s->doneMarkVisible());
    EXPECT_EQ(s->cleanCount, 1);
}

TEST_F(MemoryScreen, AReleaseThatCannotStartChangesNothing) {
    standIn.starts = false;
    auto s = screen();
    s->start();
    s->onClean();
    QTRY_VERIFY_WITH_TIMEOUT(!s->isDoing, 20000);
    EXPECT_EQ(s->cleanCount, 0);
    EXPECT_EQ(s->freeSizeText(), "MEMORY");
    EXPECT_FALSE(s->doneMarkVisible());
    ASSERT_NE(s->currentNotice(), nullptr);
    EXPECT_EQ(s->currentNotice()->text(),
              "Quobble, the program that releases memory, could not be started.");
}

TEST_F(MemoryScreen, WithoutStatisticsThereIsNothingToOptimize) {
    auto s = std::make_unique<MemoryCleanViewController>(
        nullptr, nullptr,
        MemorySource{[] { return std::optional<MemoryData>(); }, [] { return true; }, [] {}});
    s->start();
    EXPECT_EQ(s->rowValue(0), "—");
    EXPECT_FALSE(s->optimizeButton()->isEnabled());
    EXPECT_EQ(s->chart()->dataSource(), (MemoryView::Fractions{0, 0, 0, 0}));
}

TEST(MemoryChart, AnUpdateWithoutChangeEndsOnItsFirstTickAndAChangeMovesByThousandths) {
    MemoryView chart;
    int ends = 0;
    QObject::connect(&chart, &MemoryView::animateEnd, [&] { ++ends; });
    chart.setData({0.25f, 0.25f, 0.25f, 0.25f});
    chart.setNewData({0.25f, 0.25f, 0.25f, 0.25f});
    EXPECT_TRUE(chart.animating());
    chart.animate();
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(chart.animating());

    // One growing and one shrinking slice move per tick, in slice order.
    chart.setNewData({0.26f, 0.25f, 0.2495f, 0.2405f});
    chart.animate();
    EXPECT_FLOAT_EQ(chart.drawn()[0], 0.251f);
    EXPECT_FLOAT_EQ(chart.drawn()[2], 0.2495f); // within a step: set to its share
    EXPECT_FLOAT_EQ(chart.drawn()[3], 0.249f);
    int ticks = 1;
    while (chart.animating() && ticks < 100) {
        chart.animate();
        ++ticks;
    }
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(chart.drawn(), chart.dataSource());
    EXPECT_GE(ticks, 10);
}

TEST_F(MemoryScreen, ARunThatChangedNothingFreesTheScreenOnTheChartsFirstTick) {
    standIn.frees = 0;
    auto s = screen();
    s->start();
    s->onClean();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s->chart()->animating(); }, 20000));
    EXPECT_TRUE(s->isDoing);
    s->chart()->animate();
    EXPECT_FALSE(s->isDoing);
    EXPECT_FALSE(s->chart()->animating());
}

namespace {

// An installer that only counts what it was asked.
struct AgentInstaller : DeamonInstaller {
    int installs = 0, removals = 0;
    void installAutoMenu() override { ++installs; }
    void uninstallAutoMenu() override { ++removals; }
};

} // namespace

TEST_F(MemoryScreen, SmartAutoOptimizeFollowsTheLoginSetting) {
    AgentInstaller installer;
    DeamonInstaller::setShareInstaller(&installer);
    defaults().setBool(keys::Login, true);
    auto s = screen();
    EXPECT_EQ(s->autoOptimizeBox()->text(), "Smart Auto Optimize");
    EXPECT_TRUE(s->autoOptimizeBox()->isChecked());
    s->autoOptimizeBox()->click();
    EXPECT_EQ(installer.removals, 1);
    EXPECT_FALSE(defaults().boolForKey(keys::Login));
    EXPECT_FALSE(s->autoOptimizeBox()->isChecked());
    s->autoOptimizeBox()->click();
    EXPECT_EQ(installer.installs, 1);
    EXPECT_TRUE(defaults().boolForKey(keys::Login));
    EXPECT_TRUE(s->autoOptimizeBox()->isChecked());
    DeamonInstaller::setShareInstaller(nullptr);
}

TEST_F(MemoryScreen, TheShellKeepsLongWorkApartBothWays) {
    AppDelegate app;
    app.setSwitchDuration(0);
    app.awakeFromNib();
    // Created through the shell, so that it asks the shell; then the stand-in's.
    auto* memory = qobject_cast<MemoryCleanViewController*>(
        app.getVC(AppDelegate::resetCellIndex(tool::MemoryOptimization)));
    ASSERT_NE(memory, nullptr);
    auto own = screen(&app);
    ToolBaseViewController* old = app.getVC(AppDelegate::resetCellIndex(tool::OldFilesFinder));
    ToolBaseViewController* security = app.getVC(AppDelegate::resetCellIndex(tool::SystemSecurity));

    for (ToolBaseViewController* busy : {old, security}) {
        SCOPED_TRACE(busy->index);
        busy->isDoing = true;
        own->onClean();
        EXPECT_FALSE(own->isDoing);
        EXPECT_EQ(standIn.releases, 0);
        ASSERT_NE(own->currentNotice(), nullptr);
        EXPECT_EQ(own->currentNotice()->text(),
                  "File is scaning or cleaning, memory free will make app become every slow");
        own->currentNotice()->close();
        busy->isDoing = false;
    }

    // While memory is freed, a scan elsewhere is refused.
    memory->isDoing = true; // the shell reads its own screen
    auto* oldScreen = qobject_cast<OldViewController*>(old);
    ASSERT_NE(oldScreen, nullptr);
    oldScreen->scanClicked();
    EXPECT_EQ(oldScreen->stage(), ToolScreen::Stage::Idle);
    ASSERT_NE(oldScreen->currentNotice(), nullptr);
    EXPECT_EQ(oldScreen->currentNotice()->text(),
              "Memeory is freeing, do other task will become every slow");
    memory->isDoing = false;
}

TEST_F(MemoryScreen, TheSharedFunctionRunsTheReleaseProgramAndMeasuresByMeminfo) {
    // A fixture meminfo, and a stand-in for Quobble that frees 40,000 kB (10,000 pages).
    test::TempTree t;
    test::ScopedEnv root("TESSALY_ROOT", t.dir("root"));
    const std::string meminfo = t.file("root/proc/meminfo", "MemTotal: 8000000 kB\n"
                                                            "MemFree: 1000000 kB\n"
                                                            "Active: 3000000 kB\n"
                                                            "Inactive: 2000000 kB\n");
    const std::string program =
        t.file("Quobble", "#!/bin/sh\nprintf 'MemTotal: 8000000 kB\\nMemFree: 1040000 kB\\n"
                          "Active: 3000000 kB\\nInactive: 1960000 kB\\n' > '" +
                              meminfo + "'\n");
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    Function& f = Function::shareMemoryFunction();
    f.setHelperPath(program);
    MemoryCleanViewController s(nullptr, nullptr, MemorySource::system());
    s.setTimeScale(0);
    s.start();
    EXPECT_EQ(s.freeCount, 250'000);
    optimize(s);
    EXPECT_EQ(s.freeCount, 260'000);
    EXPECT_EQ(s.freeSizeText(), "39.1 MB");
    EXPECT_EQ(s.stateText(), "MEMORY IS OPTIMIZED, APP WILL NOW RUN FASTER");
    f.setHelperPath({});
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoryScreenFlow, test::bothLayouts());
