#include "app/AliasViewController.h"

#include "app/AliasRepairSheet.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

constexpr const char* kTitle = "Alias Cleanup";

ToolScreen::Texts aliasTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "alias-normal-badge";
    t.description = "You may create some alias to facilitate your work. Tessaly can help you "
                    "search and manage them, and remove the unneeded alias.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Analyzing you files...";
    t.cleaningTitle = "Unneeded Alias Files Removal";
    t.reportTitle = "Scan Completed";
    t.reportHeadlines[0] = "CAN BE SALFLY CLEANED AUTOMATICALLY";
    t.reportHeadlines[1] = "Review detailed scan to see the particular items Pallomar offers to "
                           "remove.";
    t.runButton = "Remove";
    return t;
}

} // namespace

AliasViewController::AliasViewController(AppDelegate* d, QWidget* parent, AliasHelper* engine)
    : ToolScreen(d, tool::AliasFinder, engine ? *engine : AliasHelper::shareAliasHelper(), source_,
                 parent),
      engine_(engine ? *engine : AliasHelper::shareAliasHelper()), source_(engine_) {
    setObjectName("Screen-alias");
    setTexts(aliasTexts());
    picker_ = new FolderListPicker;
    setIdleAccessory(picker_);
    picker_->addFolders({QString::fromStdString(paths::join(paths::homePath(), "Desktop"))});

    // The walk names each folder from its own thread.
    folders_ = std::make_unique<PathFollower>(aliasPathScanModuleFinsh, progressList(),
                                              [this] { return stage() == Stage::Scanning; });
    NotificationCenter& center = NotificationCenter::defaultCenter();
    scanDone_ = ObserverToken(center, center.addObserver(aliasScanModuleFinsh, [this](auto&) {
        if (stage() == Stage::Scanning)
            progressList()->setAllRowStates(ProgressList::State::Done);
    }));

    detailList()->setItemAction("Fix Alias...", [this](int category, const ItemPath& item) {
        return !isDoing && source_.alias(category, item) != nullptr;
    });
    connect(detailList(), &DetailList::itemActionRequested, this, &AliasViewController::fixClicked);
}

bool AliasViewController::beforeScan() {
    if (!picker_->requireFolders())
        return false;
    engine_.setScanFolders(picker_->foldersToScan());
    return true;
}

void AliasViewController::addRows(ProgressList& list, bool onlyTicked) {
    if (!onlyTicked || engine_.breakAliasCountWithCheck() > 0)
        list.addRow("broken-alias-icon", "Break Alias", ProgressList::State::Scanning);
    if (!onlyTicked || engine_.aliasCountWithCheck() > 0)
        list.addRow("alias-icon", "Alias", ProgressList::State::Scanning);
}

void AliasViewController::fillScanRows(ProgressList& list) {
    addRows(list, false);
}

void AliasViewController::fillCleanRows(ProgressList& list) {
    addRows(list, true);
}

QString AliasViewController::progressText(const ProgressEvent&) const {
    return {}; // the path line follows the walk; the text stays
}

// Once the aliases are known, the files that could stand in for the missing
// targets are looked for on the same worker.
std::function<void()> AliasViewController::scanFollowUp() {
    finding_ = std::make_shared<Candidates>();
    return [engine = &engine_, out = finding_] { *out = engine->candidateTargets(); };
}

void AliasViewController::scanEnded(const ScanSummary& summary) {
    candidates_ = finding_ ? std::move(*finding_) : Candidates{};
    finding_.reset();
    source_.setInterrupted(summary.stopped);
    source_.sort(0);
    source_.sort(1);
}

void AliasViewController::cleanEnded(const CleanOutcome&) {
    source_.setInterrupted(false);
}

QStringList AliasViewController::candidatesFor(const std::string& aliasPath) const {
    QStringList out;
    if (auto it = candidates_.find(aliasPath); it != candidates_.end())
        for (const std::string& c : it->second)
            out << QString::fromStdString(c);
    return out;
}

void AliasViewController::fixClicked(int category, const ItemPath& item) {
    AliasRef alias = source_.alias(category, item);
    if (isDoing || !alias)
        return;
    const QStringList candidates = candidatesFor(alias->path);
    const QString target = chooser_ ? chooser_(*alias, candidates)
                                    : AliasRepairSheet::choose(*alias, candidates, window());
    if (target.isEmpty())
        return;
    if (!engine_.fixAlias(alias->path, target.toStdString())) {
        showAlert(QString("%1 could not be pointed at %2.")
                      .arg(QString::fromStdString(alias->name), target),
                  "Notice");
        return;
    }
    candidates_.erase(alias->path);
    refreshDetails();
}

void AliasViewController::fillReportRows(ReportPanel& report) const {
    const std::int64_t broken = engine_.breakAliasCountWithCheck();
    const std::int64_t working = engine_.aliasCountWithCheck();
    const float all = static_cast<float>(broken + working);
    std::vector<ReportPanel::TextRow> rows;
    if (broken > 0)
        rows.push_back({"Break Alias", QString("%1 Items").arg(broken), broken / all});
    if (working > 0)
        rows.push_back({"Alias", QString("%1 Items").arg(working), working / all});
    report.setTextRows(rows);
}

std::int64_t AliasViewController::sidebarValue(bool) const {
    return engine_.breakAliasCountWithCheck() + engine_.aliasCountWithCheck();
}

} // namespace tessaly
