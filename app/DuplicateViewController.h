#pragma once

#include "ScanCode/duplicate/DuplicateFile.h"
#include "app/DuplicateDetailSource.h"
#include "app/ToolBaseViewController.h"
#include "platform/NotificationCenter.h"

class QPushButton;
class QStackedWidget;

namespace tessaly {

class DetailList;
class FolderListPicker;
class ProgressList;
class ReportPanel;
class ToolStagePanel;

// The Duplicates Finder: the folder list, the scan with one progress row per
// kind of file, the report, the detail list of groups and copies, and removal.
class DuplicateViewController : public ToolBaseViewController {
    Q_OBJECT
public:
    enum class Stage { Folders, Scanning, Report, Details, Removing, Cleaned };

    DuplicateViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                            DuplicateFile* engine = nullptr);

    QWidget* getTopView() override { return top_; }
    QWidget* getBottomView() override { return bottom_; }
    // Folders handed over from the file manager or the command line join the list.
    void addFiles(const QStringList& paths) override;

    // The user's actions.
    void startScan();
    void stopClicked();
    void showDetails();
    void startOver();
    void startRemoval();

    Stage stage() const { return stage_; }
    FolderListPicker* folderList() const { return picker_; }
    ToolStagePanel* stagePanel() const { return stagePanel_; }
    ProgressList* progressList() const { return progress_; }
    ReportPanel* reportPanel() const { return report_; }
    DetailList* detailList() const { return details_; }
    const DupCleanResult& lastResult() const { return lastResult_; }
    // The report's duration to fill the bar once the engine is done (tests set 0).
    void setFillSeconds(double extra) { fillExtra_ = extra; }

signals:
    void stageChanged(Stage stage);

private:
    void showStage(Stage stage);
    void scanFinished(ProblemList problems);
    void showReport();
    void removalFinished(const DupCleanResult& result);
    void updateDetailButtons();

    DuplicateFile& engine_;
    DuplicateDetailSource source_;
    Stage stage_ = Stage::Folders;
    bool interrupted_ = false;
    double fillExtra_ = 0.1;
    DupCleanResult lastResult_;
    ProblemList scanProblems_;

    QWidget* top_;
    QWidget* bottom_;
    QStackedWidget* pages_;
    ToolStagePanel* stagePanel_;
    FolderListPicker* picker_;
    ProgressList* progress_;
    QPushButton* stop_;
    ReportPanel* report_;
    QPushButton* detailsButton_;
    QPushButton* startOverButton_;
    QWidget* detailPage_;
    DetailList* details_;
    QPushButton* back_;
    QPushButton* remove_;
    ObserverToken pathObserver_;
    ObserverToken doneObserver_;
};

} // namespace tessaly
