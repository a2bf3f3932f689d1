#pragma once

#include "ScanCode/eraser/ShredderFiles.h"
#include "app/common/DetailSource.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <map>
#include <string>

namespace tessaly {

class FolderListPicker;
class NoticeSheet;

// The Eraser: the list of picked files and folders on the idle page ("Add Files",
// or dropped there), the "Warning" sheet before anything is erased, a progress row
// per picked path while they are overwritten and removed, and what was erased.
// There is no review of results: the run measures and erases in one go.
class ShredderViewController : public ToolScreen {
    Q_OBJECT
public:
    // engine: null for the shared engine.
    ShredderViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                           ShredderFiles* engine = nullptr);

    // Files and folders handed over from the file manager or the command line
    // join the list.
    void addFiles(const QStringList& paths) override;

    // The erase button: with an empty list the chooser opens; a listed path that
    // is never erased is named in a notice; otherwise the "Warning" sheet asks,
    // and "Continue" erases the list.
    void eraseClicked();
    NoticeSheet* warning() const;
    FolderListPicker* fileList() const { return picker_; }

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;

private:
    // The Eraser has no results to review.
    struct NoReview : DetailSource {
        int categoryCount() const override { return 0; }
        DetailCategoryInfo categoryInfo(int) const override { return {}; }
        int itemCount(int, const ItemPath&) const override { return 0; }
        DetailItemInfo itemInfo(int, const ItemPath&) const override { return {}; }
        void setCategoryCheck(int, bool) override {}
        void setItemCheck(int, const ItemPath&, bool) override {}
        void sort(int) override {}
    };

    void eraseConfirmed();
    bool refusedPick();

    ShredderFiles& engine_;
    NoReview source_;
    FolderListPicker* picker_;
    QPointer<NoticeSheet> warning_;
    std::map<std::string, int> rowOf_; // the progress row of a picked path
    ObserverToken pathDone_;
};

} // namespace tessaly
