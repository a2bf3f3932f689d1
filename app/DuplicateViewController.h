#pragma once

#include "ScanCode/duplicate/DuplicateFile.h"
#include "app/DuplicateDetailSource.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

namespace tessaly {

class FolderListPicker;

// The Duplicates Finder: the folder list on the idle page, a progress row per
// kind of file, the report of the kinds, and the groups of copies in the detail
// list.
class DuplicateViewController : public ToolScreen {
    Q_OBJECT
public:
    DuplicateViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                            DuplicateFile* engine = nullptr);

    // Folders handed over from the file manager or the command line join the list.
    void addFiles(const QStringList& paths) override;

    FolderListPicker* folderList() const { return picker_; }
    DuplicateDetailSource& detailSource() { return source_; }

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;

private:
    DuplicateFile& engine_;
    DuplicateDetailSource source_;
    FolderListPicker* picker_;
    ObserverToken doneObserver_;
};

} // namespace tessaly
