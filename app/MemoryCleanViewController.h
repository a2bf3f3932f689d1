#pragma once

#include "app/ToolBaseViewController.h"
#include "app/common/ToolRun.h"
#include "model/CleanResult.h"

#include <QTimer>
#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaly {

class MemoryView;

// Where Memory Optimization takes its samples and how it releases memory; the
// system's is the shared Function (memory statistics and "Quobble").
struct MemorySource {
    std::function<std::optional<MemoryData>()> sample;
    // Runs the release and waits for it; false when it could not be started.
    std::function<bool()> release;
    // Ends a running release at once.
    std::function<void()> stop;

    static MemorySource system();
};

// Memory Optimization: the four kinds of pages as rows and as a pie chart,
// refreshed every 1.1 s; "OPTIMIZE" runs the release ("Quobble") on a worker and
// shows what it freed, or that nothing was to gain; "Smart Auto Optimize" keeps
// the menu helper running at login. There is no engine object: the screen is the
// tool. Refused while another tool scans or cleans; the other tools are refused
// while it runs (isDoing).
class MemoryCleanViewController : public ToolBaseViewController {
    Q_OBJECT
public:
    MemoryCleanViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                              MemorySource source = MemorySource::system());
    ~MemoryCleanViewController() override;

    QWidget* getTopView() override { return top_; }
    void start() override;
    void exit() override;

    // The operations of the screen.
    void showData(bool animate);
    void animi();
    void onClean();
    void onStop();
    void resetCleanFlag();
    void onAutoRelease();
    void startAutoRelease(bool on);
    void animateEnd();

    // Free pages after a release of no more than this show the done mark.
    static constexpr std::int64_t kNothingToGain = 2500;
    static constexpr int kMaxReleases = 3;
    static constexpr int kNothingToGainSeconds = 180;

    std::int64_t freeCount = 0;
    std::int64_t cleanCount = 0;
    int addCount = 0;
    std::int64_t count = 0;
    bool addAlpha = false;
    QTimer cleanTimer;
    QTimer timer;

    // What the screen shows, for tests and the screenshot tour.
    QString rowValue(int row) const; // 0 "Free", 1 "Active", 2 "Inactive", 3 "Wired"
    QString freeSizeText() const;    // the big field: "MEMORY", "OPTIMIZE" or an amount
    bool freeSizeVisible() const;
    QString stateText() const; // the line under it
    bool doneMarkVisible() const;
    QPushButton* optimizeButton() const { return optimize_; }
    QPushButton* stopButton() const { return stop_; }
    QCheckBox* autoOptimizeBox() const { return auto_; }
    QProgressBar* progressBar() const { return bar_; }
    MemoryView* chart() const { return chart_; }
    // Milliseconds per second of the screen's waits (1000; 0: at once). The chart's
    // steps and the 180-second timer keep their own pace.
    void setTimeScale(int msecPerSecond) { msecPerSecond_ = msecPerSecond; }

private:
    void buildView();
    void releaseReturned(bool allowed, bool ran, std::int64_t before);
    void showResult(bool allowed, bool ran, std::int64_t before);
    void showFreeField(const QString& number, const QString& unit);
    void showIdleTexts();
    int scaled(double seconds) const;

    MemorySource source_;
    int msecPerSecond_ = 1000;
    ToolRun release_;
    QWidget* top_;
    MemoryView* chart_;
    std::array<QLabel*, 4> values_{};
    QLabel* freeNumber_;
    QLabel* freeUnit_;
    QWidget* freeField_;
    QLabel* doneMark_;
    QLabel* state_;
    QPushButton* optimize_;
    QPushButton* stop_;
    QProgressBar* bar_;
    QTimer creep_;
    QCheckBox* auto_;
};

} // namespace tessaly
