#pragma once

#include "ScanCode/ToolEngine.h"
#include "app/SystemDetailSource.h"
#include "app/ToolBaseViewController.h"
#include "model/CleanResult.h"
#include "platform/NotificationCenter.h"

#include <QString>
#include <atomic>
#include <functional>
#include <map>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace tessaly {

class DetailList;
class ProgressList;
class QSVCleanManager;
class ReportPanel;
class ToolStagePanel;

// "systemScanFinishNotfication": posted when a System Cleanup scan has ended.
inline constexpr const char* systemScanFinishNotification = "systemScanFinishNotfication";
// "fileSelectNotfication": posted when the user granted access to the start-up disk.
inline constexpr const char* fileSelectNotification = "fileSelectNotfication";

// The System Cleanup screen: idle, scanning, report, detailed results, cleaning
// and completion, over the QSVCleanManager engine.
class SystemCleanupViewController : public ToolBaseViewController {
    Q_OBJECT
public:
    enum class Stage { Idle, Scanning, Report, Details, Cleaning, Completed };

    // engine: null for the shared engine.
    SystemCleanupViewController(AppDelegate* delegate, QWidget* parent,
                                QSVCleanManager* engine = nullptr);
    ~SystemCleanupViewController() override;

    QWidget* getTopView() override { return top_; }

    // Whether this platform asks the user for access to the start-up disk before
    // a scan (a sandboxed build does); here access is granted from the start.
    static bool startupDiskAccessRequired();
    void setStartupDiskAccessRequired(bool required); // tests
    // The folder chooser of the access step; returns the chosen folder, empty when dismissed.
    void setFolderChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    // Milliseconds per unit of the bar animations (1000 in the application).
    void setAnimationScale(int msec) { animationMsec_ = msec; }

    // The user's actions.
    void scanClicked();
    void selectFileClicked();
    void stopClicked();
    void detailClicked();
    void startOverClicked();
    void backClicked();
    void cleanClicked();

    Stage stage() const { return stage_; }
    ToolStagePanel* idlePanel() const { return idle_; }
    ProgressList* progressList() const { return progress_; }
    ReportPanel* reportPanel() const { return report_; }
    ReportPanel* completionPanel() const { return completion_; }
    DetailList* detailList() const { return details_; }
    SystemDetailSource& detailSource() { return source_; }
    QString summary() const;
    QPushButton* cleanButton() const { return clean_; }
    QPushButton* stopButton() const { return stop_; }
    bool first() const { return first_; }
    const CleanReport& lastReport() const { return lastReport_; }

private:
    void show(Stage stage);
    void showIdleTexts();
    void scanFinished(bool ran, ProblemList problems);
    void finishScan();
    void showReport();
    void showDetails();
    void cleanFinished(CleanOutcome outcome);
    void finishClean();
    void onModuleDone(std::int64_t module);
    void updateTotals();
    int fillMsec() const;

    QSVCleanManager& engine_;
    SystemDetailSource source_;
    Stage stage_ = Stage::Idle;
    bool first_ = true; // the places are being prepared
    bool accessRequired_;
    std::shared_ptr<std::atomic<bool>> stopRequested_ = std::make_shared<std::atomic<bool>>(false);
    int animationMsec_ = 1000;
    std::function<QString()> chooser_;
    std::map<std::int64_t, int> rowOfModule_;
    CleanReport lastReport_;
    ProblemList scanProblems_;
    std::vector<LeftItem> left_;

    QWidget* top_;
    QStackedWidget* stack_;
    ToolStagePanel* idle_;
    QWidget* progressPage_;
    ProgressList* progress_;
    QPushButton* stop_;
    ReportPanel* report_;
    QWidget* detailsPage_;
    DetailList* details_;
    QLabel* summary_;
    QLabel* totals_;
    QPushButton* clean_;
    ReportPanel* completion_;

    ObserverToken pathUpdate_, moduleFinish_, cleanModule_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace tessaly
