#pragma once

#include "app/BrowserDetailSource.h"
#include "app/common/RunningAppsSheet.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <map>
#include <string>

class QPushButton;

namespace tessaly {

class BroswerManager;

// The Browser Cleanup screen over the BroswerManager engine: the running
// browsers are offered to quit before a scan, a progress row per module as it
// comes in, the report of up to five kinds by item count, and the detailed
// results of one browser at a time.
class BrowserViewController : public ToolScreen {
    Q_OBJECT
public:
    // engine: null for the shared engine.
    BrowserViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                          BroswerManager* engine = nullptr);

    BrowserDetailSource& detailSource() { return source_; }
    // The browser shown in the detailed results, and the user's choice of another.
    int shownBrowser() const { return source_.browser(); }
    void showBrowser(int browser);
    QPushButton* browserButton(int browser) const;
    // The running-browser sheet (until it is gone after closing).
    RunningAppsSheet* runningSheet() const { return sheet_; }

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
    std::int64_t sidebarValue(bool afterClean) const override;
    QString cleanedAmount(const CleanOutcome& outcome) const override;
    QString doneMessage(const CleanOutcome& outcome) const override;
    QString totalText(const Totals& totals) const override;

private:
    void enterDetails();
    void selectBrowser(int browser);
    void updateBrowserChoice();

    BroswerManager& manager_;
    BrowserDetailSource source_;
    QPushButton* browsers_[3];
    QPointer<RunningAppsSheet> sheet_;
    bool browsersAsked_ = false; // the sheet has closed: the scan goes ahead
    std::map<std::string, int> cleanRows_;
    ObserverToken scanModule_, cleanModule_;
};

} // namespace tessaly
