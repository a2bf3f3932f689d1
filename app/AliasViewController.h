#pragma once

#include "ScanCode/alias/AliasHelper.h"
#include "app/AliasDetailSource.h"
#include "app/common/PathFollower.h"
#include "app/common/ToolScreen.h"
#include "platform/NotificationCenter.h"

#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

class FolderListPicker;

// The Alias Finder: the folder list on the idle page (the Desktop at first), the
// broken and the working aliases in the report and the detail list, and the
// repair of an alias ("Fix Alias..."), which offers the files found under the
// scanned folders with its target's name.
class AliasViewController : public ToolScreen {
    Q_OBJECT
public:
    // Asks for the new target of an alias; empty when the user dismissed it.
    using TargetChooser =
        std::function<QString(const AliasObj& alias, const QStringList& candidates)>;

    // engine: null for the shared engine.
    AliasViewController(AppDelegate* delegate, QWidget* parent = nullptr,
                        AliasHelper* engine = nullptr);

    // Repairs the alias at an item of the detail list (the repair button).
    void fixClicked(int category, const ItemPath& item);
    // The candidates the last scan found for a broken alias.
    QStringList candidatesFor(const std::string& aliasPath) const;
    void setTargetChooser(TargetChooser chooser) { chooser_ = std::move(chooser); } // tests

    FolderListPicker* folderList() const { return picker_; }
    AliasDetailSource& detailSource() { return source_; }

protected:
    bool beforeScan() override;
    void fillScanRows(ProgressList& list) override;
    void fillCleanRows(ProgressList& list) override;
    QString progressText(const ProgressEvent& event) const override;
    std::function<void()> scanFollowUp() override;
    void scanEnded(const ScanSummary& summary) override;
    void cleanEnded(const CleanOutcome& outcome) override;
    void fillReportRows(ReportPanel& report) const override;
    std::int64_t sidebarValue(bool afterClean) const override;

private:
    using Candidates = std::map<std::string, std::vector<std::string>>;
    void addRows(ProgressList& list, bool onlyTicked);

    AliasHelper& engine_;
    AliasDetailSource source_;
    FolderListPicker* picker_;
    TargetChooser chooser_;
    Candidates candidates_;
    std::shared_ptr<Candidates> finding_; // filled by the running scan's follow-up
    std::unique_ptr<PathFollower> folders_;
    ObserverToken scanDone_;
};

} // namespace tessaly
