#pragma once

#include "ScanCode/old/OldFileScan.h"
#include "app/OldDetailSource.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

#include <map>
#include <string>

namespace tessaly {

class FolderListPicker;

// The Old Files Finder: the folder list on the idle page (the Downloads folder at
// first), a progress row per folder, and straight after the scan the age classes
// with their size classes and files in the detail list.
class OldViewController : public ToolScreen {
    Q_OBJECT
public:
    // engine: null for the shared engine.
    OldViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                      OldFileScan* engine = nullptr);

    // Folders handed over from the file manager or the command line join the list.
    void addFiles(const QStringList& paths) override;

    FolderListPicker* folderList() const { return picker_; }
    OldDetailSource& detailSource() { return source_; }

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;
    bool detailsAfterScan() const override { return true; }
    std::int64_t sidebarValue(bool afterClean) const override;

private:
    void addRow(ProgressList& list, const std::string& path, const QString& icon);
    void rowDone(const std::string& path, Stage during);

    OldFileScan& engine_;
    OldDetailSource source_;
    FolderListPicker* picker_;
    std::map<std::string, int> rowOf_; // the progress row of a folder or file
    ObserverToken folderDone_, fileDone_;
};

} // namespace tessaly
