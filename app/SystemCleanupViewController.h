#pragma once

#include "app/SystemDetailSource.h"
#include "app/common/StartupDiskAccess.h"
#include "app/common/ToolScreen.h"
#include "model/CleanResult.h"
#include "platform/NotificationCenter.h"

#include <QString>
#include <functional>
#include <map>

namespace tessaly {

class QSVCleanManager;

// "systemScanFinishNotfication": posted when a System Cleanup scan has ended.
inline constexpr const char* systemScanFinishNotification = "systemScanFinishNotfication";

// The System Cleanup screen over the QSVCleanManager engine: a progress row per
// module, the report's chart of the four largest modules and "Other", and the
// access step of platforms that ask for the start-up disk first.
class SystemCleanupViewController : public ToolScreen {
    Q_OBJECT
public:
    // engine: null for the shared engine.
    SystemCleanupViewController(AppDelegate* delegate, QWidget* parent,
                                QSVCleanManager* engine = nullptr);

    // Whether this platform asks the user for access to the start-up disk before
    // a scan (a sandboxed build does); here access is granted from the start.
    static bool startupDiskAccessRequired();
    void setStartupDiskAccessRequired(bool required); // tests
    // The folder chooser of the access step; returns the chosen folder, empty when dismissed.
    void setFolderChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    void selectFileClicked();

    SystemDetailSource& detailSource() { return source_; }
    bool first() const { return first_; }
    const CleanReport& lastReport() const { return lastReport_; }
    Totals tickedTotals() const override;

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;
    CleanFinishInfo finishInfo(const CleanOutcome& outcome) const override;
    bool detailsAfterClean() const override { return true; }

private:
    void showIdleTexts();
    void addRows(ProgressList& list, const std::vector<int>& modules);
    void moduleDone(std::int64_t module, bool scanning);

    QSVCleanManager& manager_;
    SystemDetailSource source_;
    bool first_ = true; // the places are being prepared
    bool accessRequired_;
    std::function<QString()> chooser_;
    std::vector<int> scanned_;
    std::map<std::int64_t, int> rowOfModule_;
    CleanReport lastReport_;
    ToolRun preparing_;
    ObserverToken moduleFinish_, cleanModule_;
};

} // namespace tessaly
