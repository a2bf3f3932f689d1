#pragma once

#include "ScanCode/security/VirtualScan.h"
#include "app/SecurityDetailSource.h"
#include "app/common/ToolScreen.h"

#include <QString>
#include <functional>

class QListWidget;

namespace tessaly {

class FolderListPicker;

// System Security: the three scan types on the idle page (the whole disk, the home
// folders, or a folder list of the user's), the scan with the path being examined,
// the report of the findings by kind with the objects scanned and the time taken,
// and the findings in the detail list.
class SecurityViewController : public ToolScreen {
    Q_OBJECT
public:
    enum ScanType { SystemScan = 0, HomeScan = 1, CustomScan = 2 };

    // engine: null for the shared engine.
    SecurityViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                           VirtualScan* engine = nullptr);

    void setScanType(int type);
    int scanType() const { return type_; }
    FolderListPicker* folderList() const { return picker_; }
    QListWidget* typeList() const { return types_; }
    SecurityDetailSource& detailSource() { return source_; }

    // The volume-selection step before a System Scan, on platforms that ask for
    // the start-up disk first (this one does not).
    void setStartupDiskAccessRequired(bool required) { accessRequired_ = required; } // tests
    void setFolderChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    void selectFileClicked();

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;
    void fillEmptyReport(ReportPanel& report) const override;
    QString cleanedAmount(const CleanOutcome& outcome) const override;
    std::int64_t sidebarValue(bool afterClean) const override;

private:
    QWidget* makeTypeChoice();
    void updateScanButton();
    void fillCounters(ReportPanel& report) const;

    VirtualScan& engine_;
    SecurityDetailSource source_;
    int type_ = SystemScan;
    QListWidget* types_ = nullptr;
    FolderListPicker* picker_ = nullptr;
    bool accessRequired_;
    std::function<QString()> chooser_;
};

} // namespace tessaly
