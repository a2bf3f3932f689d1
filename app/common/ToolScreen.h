#pragma once

#include "ScanCode/ToolEngine.h"
#include "app/ToolBaseViewController.h"
#include "app/common/RunConfirmation.h"
#include "app/common/ToolRun.h"
#include "app/common/ToolStagePanel.h"
#include "model/CleanFinish.h"

#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace tessaly {

class DetailList;
class DetailSource;
class ProgressList;
class ReportPanel;

// What every tool screen is built on: the stages (idle, scanning, report, detailed
// results, cleaning, done), their pages with the buttons in the same places, the
// progress page with its Stop, the hop to the engine and back, the confirmation
// before anything is deleted, and what a clean leaves behind (the tool's last clean
// date, the cleaned total, the removal sound and "cleanFinishNotification"). The
// shell follows the screen through workStarted, workFinished and resultCleared.
//
// A tool's screen supplies its texts, its idle accessory (a folder list, say), its
// detail source, the rows of its progress and report pages, and reacts to the
// ends of its runs through the hooks below.
class ToolScreen : public ToolBaseViewController {
    Q_OBJECT
public:
    enum class Stage { Idle, Scanning, Report, Details, Cleaning, Done };

    // The texts of a tool, shown in the same places in every tool.
    struct Texts {
        QString title;       // the idle page's title
        QString badge;       // image name of the idle page's badge
        QString description; // the idle page's text
        std::vector<ToolStagePanel::PromptPart> prompt;
        QString scanningTitle; // the progress page while scanning
        QString scanningText;  // its line until the engine says what it does
        QString cleaningTitle; // the progress page while cleaning
        QString reportTitle;   // the report page's title
        QString reportHeadlines[3];
        QString runButton; // "Clean", "Remove": the details page's button and the confirmation's
    };

    // The items and bytes a clean would take now.
    struct Totals {
        std::int64_t count = 0;
        std::int64_t bytes = 0;
    };

    ToolScreen(AppDelegate* delegate, std::int64_t toolIndex, ToolEngine& engine,
               DetailSource& source, QWidget* parent);
    ~ToolScreen() override;

    QWidget* getTopView() override { return top_; }
    // Becoming the current screen: the keyboard lands on the page's main control.
    void start() override;

    // The user's actions; the buttons call them.
    void scanClicked();
    void stopClicked();
    void detailClicked();
    void backClicked();
    void startOverClicked();
    // Asks first (unless the user chose not to be asked), then cleans. Not offered
    // while nothing is ticked.
    void cleanClicked();

    Stage stage() const { return stage_; }
    // Whether the last scan or clean was stopped before it had finished.
    bool lastRunStopped() const { return stopped_; }
    const CleanOutcome& lastOutcome() const { return outcome_; }
    // The totals beside the run button, in the report and in the confirmation.
    virtual Totals tickedTotals() const;

    ToolStagePanel* idlePanel() const { return idle_; }
    ProgressList* progressList() const { return progress_; }
    ReportPanel* reportPanel() const { return report_; }
    ReportPanel* completionPanel() const { return done_; }
    DetailList* detailList() const { return details_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* runButton() const { return run_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* reportDetailsButton() const { return reportDetails_; }
    QPushButton* doneDetailsButton() const { return doneDetails_; }
    QString summary() const; // the details page's "Cleaned:  " line after a clean
    QString totalsText() const;
    // The confirmation while it is open.
    RunConfirmation* confirmation() const { return confirmation_; }
    // Milliseconds per unit of the bar's last fill (1000 in the application; 0: at once).
    void setAnimationScale(int msec) { animationMsec_ = msec; }

signals:
    void stageChanged(tessaly::ToolScreen::Stage stage);

protected:
    void setTexts(Texts texts);
    // The tool's widget on the idle page (the panel takes it).
    void setIdleAccessory(QWidget* widget);
    ToolEngine& engine() const { return engine_; }
    DetailSource& source() const { return source_; }

    // Before a scan is started; false refuses it (the tool has told the user why).
    virtual bool beforeScan() { return true; }
    // The rows of the progress page for a scan and for a clean.
    virtual void fillScanRows(ProgressList& list) = 0;
    virtual void fillCleanRows(ProgressList& list) = 0;
    // The progress page's line for what the engine reports it is doing; empty
    // keeps the line as it is.
    virtual QString progressText(const ProgressEvent& event) const;
    // After a scan or a clean has returned, before anything is shown: the tool
    // re-reads its results into its detail source.
    virtual void scanEnded(const ScanSummary& summary) = 0;
    virtual void cleanEnded(const CleanOutcome& outcome) = 0;
    // The report's rows (the chart and its lines).
    virtual void fillReportRows(ReportPanel& report) const = 0;
    // What "cleanFinishNotification" carries for this tool's clean.
    virtual CleanFinishInfo finishInfo(const CleanOutcome& outcome) const;
    // After a clean that left ticked items, whether the detailed results come back
    // (with the cleaned line) in place of the completion page.
    virtual bool detailsAfterClean() const { return false; }
    // After a scan, whether the detailed results open at once (the report is then
    // reached through Back).
    virtual bool detailsAfterScan() const { return false; }
    // What the tool's row in the sidebar shows after a scan or a clean (0: the done
    // mark); by default the ticked size.
    virtual std::int64_t sidebarValue(bool afterClean) const;
    // The report when nothing is ticked; by default it says that nothing can be removed.
    virtual void fillEmptyReport(ReportPanel& report) const;
    // What follows "Cleaned:  " after a clean: the size freed, else the files
    // removed; empty when nothing went.
    virtual QString cleanedAmount(const CleanOutcome& outcome) const;
    // Work for the worker right after the scan, before scanEnded (a tool that
    // derives more from its results there). Called on the screen's thread when the
    // scan starts; what it returns must not reach into the screen, which may be
    // gone by the time it runs.
    virtual std::function<void()> scanFollowUp() { return {}; }

    // After the tool changed its results outside a run (a repair): the detail list
    // and the totals read them again.
    void refreshDetails();

    // For a tool without a review of results (the Eraser): measures what the
    // engine was given and cleans it in one run, straight from the idle page. The
    // tool has asked the user first.
    void runWithoutReview();

private:
    void show(Stage stage);
    QWidget* mainControl() const;
    void startClean();
    void onProgress(const ProgressEvent& event);
    // Shows the progress page for a run, fills its rows and starts the work.
    void beginRun(Stage stage, const QString& title, const QString& text,
                  void (ToolScreen::*fillRows)(ProgressList&), ToolRun::Work work);
    void finishRun(std::function<void()> then);
    void scanFinished(const ScanSummary& summary);
    void cleanFinished(const CleanOutcome& outcome);
    void fillReport();
    void showReport();
    void showDetails();
    void showDone();
    void updateTotals();
    QString totalText(const Totals& totals) const;

    ToolEngine& engine_;
    DetailSource& source_;
    Texts texts_;
    Stage stage_ = Stage::Idle;
    bool stopped_ = false;
    int animationMsec_ = 1000;
    ScanSummary scan_;
    CleanOutcome outcome_;
    ToolRun runner_;
    QPointer<RunConfirmation> confirmation_;

    QWidget* top_;
    QStackedWidget* pages_;
    ToolStagePanel* idle_;
    QWidget* progressPage_;
    ProgressList* progress_;
    QPushButton* stop_;
    QWidget* reportPage_;
    ReportPanel* report_;
    QPushButton* reportDetails_;
    QWidget* detailsPage_;
    DetailList* details_;
    QPushButton* back_;
    QLabel* summary_;
    QLabel* totals_;
    QPushButton* run_;
    QWidget* donePage_;
    ReportPanel* done_;
    QPushButton* doneDetails_;
};

} // namespace tessaly
