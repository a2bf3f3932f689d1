#pragma once

#include "app/UninstallDetailSource.h"
#include "app/common/RunningAppsSheet.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <map>
#include <string>

class QLineEdit;
class QTabBar;

namespace tessaly {

class SearchApplications;

// The Uninstaller screen over the SearchApplications engine: the lists load when
// the screen is first shown (the catalogue, then plug-ins, widgets and
// preference panes); the tabs, the search field and the age groups choose what
// the list shows; each item's records are searched when first shown; running
// applications are offered to quit before a removal, whose progress shows a row
// per ticked record.
class UninstallViewController : public ToolScreen {
    Q_OBJECT
public:
    // engine: null for the shared engine.
    UninstallViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                            SearchApplications* engine = nullptr);

    void start() override;

    UninstallDetailSource& detailSource() { return source_; }
    QTabBar* tabs() const { return tabs_; }
    QLineEdit* searchField() const { return search_; }
    // The running-application sheet (until it is gone after closing).
    RunningAppsSheet* runningSheet() const { return sheet_; }

protected:
    bool beforeClean() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;
    bool detailsAfterScan() const override { return true; }

private:
    void showTab(int tab);
    void reloadLists();

    SearchApplications& engine_;
    UninstallDetailSource source_;
    QTabBar* tabs_;
    QLineEdit* search_;
    QPointer<RunningAppsSheet> sheet_;
    bool loaded_ = false;
    bool runningAsked_ = false; // the sheet has closed: the removal goes ahead
    std::map<std::string, int> rowOfRecord_;
    ObserverToken finished_;
};

} // namespace tessaly
