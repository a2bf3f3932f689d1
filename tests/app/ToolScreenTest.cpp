// The tool-screen skeleton over an engine of the test's own, whose scan and clean
// wait at a gate the test opens: the stages, the shell following the screen, the
// confirmation and its setting, Stop in each stage that may stop, and a screen
// that goes away while its engine works.
#include "app/common/ToolScreen.h"
#include "app/AppDelegate.h"
#include "app/MainQueueBinding.h"
#include "app/Sidebar.h"
#include "app/common/DetailList.h"
#include "app/common/DetailSource.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/NotificationCenter.h"
#include "tests/app/QtEnvironment.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <thread>

using namespace tessaly;
using tessaly::test::GuiTest;
using Stage = ToolScreen::Stage;

namespace {

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
}

// Three items of 100, 200 and 0 bytes after each scan. A run reports where it
// is, then waits at the gate until the test opens it or the run is stopped. A
// stop can be made to hold whoever asks for it until the test lets go, as a
// helper that is slow to hear a stop would.
class GatedEngine : public ToolEngine {
public:
    struct Item {
        std::string name;
        std::int64_t size = 0;
        bool ticked = true;
    };
    std::vector<std::shared_ptr<Item>> items;
    std::atomic<bool> holdStoppers{false};
    std::atomic<bool> stopperHeld{false};
    std::atomic<bool> letStopperGo{false};
    std::atomic<int> runsEnded{0};

    std::string toolName() const override { return "Gated"; }
    std::int64_t toolIndex() const override { return tool::DuplicatesFinder; }

    void open() {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = true;
        gate_.notify_all();
    }
    void close() {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = false;
    }

    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override {
        report(progress, {"Looking", "/fixture/a", 0.25});
        ScanSummary summary;
        summary.stopped = !wait(stop);
        items = {std::make_shared<Item>(Item{"a", 100}), std::make_shared<Item>(Item{"b", 200}),
                 std::make_shared<Item>(Item{"c", 0})};
        summary.problems.push_back({"/fixture/locked", "could not be read: permission denied"});
        ++runsEnded;
        return summary;
    }
    Plan plan() const override {
        Plan plan;
        for (const auto& item : items)
            if (item->ticked)
                plan.items.push_back({"Gated", 0, "/fixture/" + item->name, item->name, item->size,
                                      PlanAction::Remove, "", "", item});
        return plan;
    }
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override {
        report(progress, {"Removing", plan.items.front().path, 0.5});
        CleanOutcome outcome;
        outcome.stopped = !wait(stop);
        for (const PlanItem& p : plan.items) {
            if (outcome.stopped) {
                outcome.left.push_back({p.path, "the clean was stopped before it was handled"});
                continue;
            }
            ++outcome.removed;
            outcome.bytes += p.size;
            std::erase(items, std::static_pointer_cast<Item>(p.record));
        }
        ++runsEnded;
        return outcome;
    }

private:
    // True when the gate opened, false when the run was stopped.
    bool wait(std::stop_token stop) {
        std::stop_callback stopper(stop, [this] {
            if (!holdStoppers)
                return;
            stopperHeld = true;
            while (!letStopperGo)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        std::unique_lock<std::mutex> lock(mutex_);
        return gate_.wait(lock, stop, [this] { return open_; });
    }

    std::mutex mutex_;
    std::condition_variable_any gate_;
    bool open_ = false;
};

class GatedSource : public DetailSource {
public:
    explicit GatedSource(GatedEngine& e) : engine_(e) {}
    int categoryCount() const override { return 1; }
    DetailCategoryInfo categoryInfo(int) const override {
        DetailCategoryInfo info;
        info.name = "Gated";
        return info;
    }
    int itemCount(int, const ItemPath& parent) const override {
        return parent.empty() ? static_cast<int>(engine_.items.size()) : 0;
    }
    DetailItemInfo itemInfo(int, const ItemPath& item) const override {
        const auto& i = *engine_.items.at(static_cast<std::size_t>(item[0]));
        DetailItemInfo info;
        info.name = QString::fromStdString(i.name);
        info.check = i.ticked ? Qt::Checked : Qt::Unchecked;
        return info;
    }
    void setCategoryCheck(int, bool check) override {
        for (auto& i : engine_.items)
            i->ticked = check;
    }
    void setItemCheck(int, const ItemPath& item, bool check) override {
        engine_.items.at(static_cast<std::size_t>(item[0]))->ticked = check;
    }
    void sort(int) override {}

private:
    GatedEngine& engine_;
};

class GatedScreen : public ToolScreen {
public:
    GatedScreen(AppDelegate* app, GatedEngine& engine)
        : ToolScreen(app, tool::DuplicatesFinder, engine, source_, nullptr), source_(engine) {
        Texts t;
        t.title = "Gated";
        t.scanningTitle = "Gated scan";
        t.scanningText = "Starting";
        t.cleaningTitle = "Gated clean";
        t.reportTitle = "Gated report";
        t.runButton = "Remove";
        setTexts(t);
        setAnimationScale(0);
    }

protected:
    void fillScanRows(ProgressList& list) override { list.addRow("media-icon", "Everything"); }
    void fillCleanRows(ProgressList& list) override { list.addRow("media-icon", "Everything"); }
    void scanEnded(const ScanSummary&) override {}
    void cleanEnded(const CleanOutcome&) override {}
    void fillReportRows(ReportPanel& report) const override {
        report.setRows({{"Gated", 300, 3, 0}});
    }

private:
    GatedSource source_;
};

class ToolScreenTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        bindMainQueueToEventLoop(*QCoreApplication::instance());
        app.setSwitchDuration(0);
        app.awakeFromNib();
        app.listenTo(&screen);
    }
    SidebarRow* row() {
        return app.sidebar()->row(AppDelegate::resetCellIndex(tool::DuplicatesFinder));
    }
    // Scans to the report with the gate open.
    void scanToReport() {
        engine.open();
        screen.scanClicked();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.stage() == Stage::Report; }, 20000));
    }
    RunConfirmation* askToClean() {
        screen.cleanClicked();
        return screen.confirmation();
    }

    AppDelegate app;
    GatedEngine engine;
    GatedScreen screen{&app, engine};
};

} // namespace

TEST_F(ToolScreenTest, RunsThroughTheStagesAndTheShellFollows) {
    std::vector<CleanFinishInfo> finished;
    ObserverToken observer(NotificationCenter::defaultCenter(),
                           NotificationCenter::defaultCenter().addObserver(
                               cleanFinishNotification, [&](const Notification& n) {
                                   finished.push_back(std::any_cast<CleanFinishInfo>(n.object));
                               }));

    // Scanning: the page tells what the engine does, the bar follows it.
    screen.scanClicked();
    EXPECT_EQ(screen.stage(), Stage::Scanning);
    EXPECT_TRUE(screen.isDoing);
    EXPECT_TRUE(row()->spinnerVisible());
    EXPECT_EQ(screen.progressList()->title(), "Gated scan");
    EXPECT_TRUE(screen.progressList()->busy()); // nothing told yet
    EXPECT_TRUE(screen.stopButton()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(screen.progressList()->text(), QString("Looking"), 20000);
    EXPECT_EQ(screen.progressList()->path(), "/fixture/a");
    EXPECT_FALSE(screen.progressList()->busy());
    EXPECT_DOUBLE_EQ(screen.progressList()->progress(), 0.25);
    engine.open();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 20000);
    EXPECT_FALSE(screen.isDoing);
    EXPECT_EQ(screen.progressList()->rowState(0), ProgressList::State::Done);

    // The report, its note of what could not be read, and the sidebar's result.
    EXPECT_EQ(screen.reportPanel()->title(), "Gated report");
    EXPECT_EQ(screen.reportPanel()->total(), sizeText(300));
    EXPECT_EQ(screen.reportPanel()->note(), "");
    EXPECT_EQ(screen.reportPanel()->problemsNote()->problems().size(), 1u);
    EXPECT_FALSE(row()->spinnerVisible());
    EXPECT_EQ(row()->label(), sizeText(300));

    // Details: the totals beside the run button agree with the report; with
    // nothing ticked no run is offered.
    screen.detailClicked();
    EXPECT_EQ(screen.stage(), Stage::Details);
    EXPECT_EQ(screen.totalsText(), screen.reportPanel()->total());
    EXPECT_EQ(screen.runButton()->text(), "Remove");
    EXPECT_TRUE(screen.runButton()->isEnabled());
    screen.detailList()->deselectAll();
    EXPECT_FALSE(screen.runButton()->isEnabled());
    EXPECT_EQ(screen.totalsText(), "");
    EXPECT_EQ(askToClean(), nullptr);
    EXPECT_EQ(screen.stage(), Stage::Details);
    screen.detailList()->selectAll();
    EXPECT_TRUE(screen.runButton()->isEnabled());

    // The last word: naming what goes; Cancel is the default and changes nothing.
    RunConfirmation* ask = askToClean();
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->text(), "Remove 3 items, " + sizeText(300) + "? This cannot be undone.");
    EXPECT_TRUE(ask->cancelButton()->isDefault());
    ask->cancelButton()->click();
    QTRY_VERIFY(screen.confirmation() == nullptr);
    EXPECT_EQ(screen.stage(), Stage::Details);
    EXPECT_EQ(engine.items.size(), 3u);
    EXPECT_FALSE(defaults().hasKey(keys::duplicateLastCleanDateKey));

    // Confirmed, and asked never again.
    ask = askToClean();
    ASSERT_NE(ask, nullptr);
    ask->stopAskingBox()->setChecked(true);
    ask->confirmButton()->click();
    EXPECT_EQ(screen.stage(), Stage::Cleaning);
    EXPECT_EQ(screen.progressList()->title(), "Gated clean");
    EXPECT_TRUE(defaults().dateForKey(keys::duplicateLastCleanDateKey).has_value());
    EXPECT_FALSE(askBeforeCleaning(defaults()));
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 20000);

    // Done: the completion texts, the cleaned total, the notification, the sidebar.
    EXPECT_TRUE(engine.items.empty());
    EXPECT_EQ(screen.completionPanel()->title(), "Cleanup Completed");
    EXPECT_EQ(screen.completionPanel()->total(), "Cleaned:  " + sizeText(300));
    EXPECT_EQ(screen.completionPanel()->message(),
              sizeText(300) + " of unneeded items were removed from your system and applications.");
    EXPECT_TRUE(screen.completionPanel()->problemsNote()->isHidden());
    EXPECT_FALSE(screen.doneDetailsButton()->isEnabled()); // nothing left to show
    EXPECT_EQ(app.cleanTotle(), 300);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].tool, tool::DuplicatesFinder);
    EXPECT_EQ(std::any_cast<CleanResultTotals>(finished[0].result).fileCount, 3);
    EXPECT_TRUE(row()->doneMarkVisible()); // nothing ticked is left

    // The next clean starts at once.
    engine.close();
    scanToReport();
    screen.detailClicked();
    engine.close();
    EXPECT_EQ(askToClean(), nullptr);
    EXPECT_EQ(screen.stage(), Stage::Cleaning);
    engine.open();
    QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 20000);

    screen.startOverClicked();
    EXPECT_EQ(screen.stage(), Stage::Idle);
    EXPECT_FALSE(row()->doneMarkVisible());
}

TEST_F(ToolScreenTest, StopInEachStageNeverWaitsForTheEngine) {
    setAskBeforeCleaning(defaults(), false);
    for (const Stage stage : {Stage::Scanning, Stage::Cleaning}) {
        SCOPED_TRACE(stage == Stage::Scanning ? "scan" : "clean");
        if (stage == Stage::Cleaning) {
            scanToReport();
            screen.detailClicked();
            engine.close();
            screen.cleanClicked();
        } else {
            screen.scanClicked();
        }
        ASSERT_EQ(screen.stage(), stage);
        QTRY_COMPARE_WITH_TIMEOUT(screen.progressList()->text(),
                                  QString(stage == Stage::Scanning ? "Looking" : "Removing"),
                                  20000);

        // Whatever the engine does when it is asked to stop, it is not done on the
        // screen's thread: Stop returns while the engine still holds the request.
        engine.holdStoppers = true;
        engine.letStopperGo = false;
        engine.stopperHeld = false;
        QElapsedTimer clock;
        clock.start();
        screen.stopClicked();
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_FALSE(screen.stopButton()->isEnabled());
        EXPECT_EQ(screen.progressList()->text(), "Stopping…");
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.stopperHeld.load(); }, 20000));
        EXPECT_EQ(screen.stage(), stage);
        engine.letStopperGo = true;
        engine.holdStoppers = false;

        if (stage == Stage::Scanning) {
            // The report says the scan was stopped.
            QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Report, 20000);
            EXPECT_TRUE(screen.lastRunStopped());
            EXPECT_EQ(screen.reportPanel()->note(),
                      "The scan was stopped before it had finished: what it had not reached is "
                      "not listed.");
        } else {
            // What was not handled stays, ticked, and the completion page says so.
            QTRY_COMPARE_WITH_TIMEOUT(screen.stage(), Stage::Done, 20000);
            EXPECT_TRUE(screen.lastRunStopped());
            EXPECT_EQ(engine.items.size(), 3u);
            EXPECT_EQ(screen.completionPanel()->total(), "");
            EXPECT_EQ(screen.completionPanel()->note(),
                      "The clean was stopped before it had finished: what it had not reached "
                      "is still listed and ticked.");
            EXPECT_EQ(screen.completionPanel()->problemsNote()->summary(),
                      "3 items were left in place.");
            EXPECT_TRUE(screen.doneDetailsButton()->isEnabled());
            EXPECT_EQ(row()->label(), sizeText(300));
        }
        EXPECT_EQ(screen.progressList()->rowState(0), ProgressList::State::Warning);
        EXPECT_FALSE(screen.isDoing);
    }
}

TEST_F(GuiTest, AScreenThatGoesAwayLetsItsEngineFinishFirst) {
    bindMainQueueToEventLoop(*QCoreApplication::instance());
    GatedEngine engine;
    {
        GatedScreen screen(nullptr, engine);
        screen.scanClicked();
        ASSERT_EQ(screen.stage(), Stage::Scanning);
    } // stops the scan and waits for it: the engine is never used after this
    EXPECT_EQ(engine.runsEnded.load(), 1);
    test::settle(); // what the scan left for the screen finds no screen, and does nothing
}
