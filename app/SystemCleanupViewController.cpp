#include "app/SystemCleanupViewController.h"

#include "ScanCode/system/QSVCleanManager.h"
#include "app/common/DetailList.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/CommonFunction.h"
#include "model/LayoutWording.h"
#include "model/ToolIndex.h"

#include <cmath>

namespace tessaly {

namespace {

constexpr const char* kTitle = "System Cleanup";
constexpr const char* kInitialize = "Initialize the engine...";

ToolScreen::Texts systemTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "sys-cleanup-mormal-badge";
    t.description = QString::fromStdString(
        forLayout("Clean up your system frequently and delete unwanted junk files to free up "
                  "disk space. Your Mac will run more smoothly."));
    t.prompt = {{"Push", false}, {"\"Scan\"", true}, {"to start scan", false}};
    t.scanningTitle = kTitle;
    t.scanningText = kInitialize;
    t.cleaningTitle = kTitle;
    t.reportTitle = kTitle;
    t.reportHeadlines[0] = "CAN BE SALFLY CLEANED AUTOMATICALLY";
    t.reportHeadlines[1] = "Unneeded System Items Removal";
    t.reportHeadlines[2] = "Review detailed scan to see the particular items Pallomar offers to "
                           "remove";
    t.runButton = "Clean";
    return t;
}

} // namespace

bool SystemCleanupViewController::startupDiskAccessRequired() {
    return tessaly::startupDiskAccessRequired();
}

SystemCleanupViewController::SystemCleanupViewController(AppDelegate* d, QWidget* parent,
                                                         QSVCleanManager* engine)
    : ToolScreen(d, tool::SystemCleanup, engine ? *engine : QSVCleanManager::shareQSVCLean(),
                 source_, parent),
      manager_(engine ? *engine : QSVCleanManager::shareQSVCLean()), source_(manager_),
      accessRequired_(startupDiskAccessRequired()) {
    setObjectName("Screen-system");
    setTexts(systemTexts());
    detailList()->setSelectAllEveryCategory(true);
    showIdleTexts();

    NotificationCenter& center = NotificationCenter::defaultCenter();
    moduleFinish_ = ObserverToken(
        center, center.addObserver(scanModuleFinishNotification, [this](const Notification& n) {
            if (auto* m = std::any_cast<std::int64_t>(&n.object); m && stage() == Stage::Scanning)
                moduleDone(*m, true);
        }));
    cleanModule_ = ObserverToken(
        center, center.addObserver(cleanModuleNotification, [this](const Notification& n) {
            if (auto* m = std::any_cast<std::int64_t>(&n.object); m && stage() == Stage::Cleaning)
                moduleDone(*m, false);
        }));

    // The places are prepared once, in the background, when the screen is made.
    QSVCleanManager* e = &manager_;
    preparing_.start(
        [e, this](std::stop_token, const ProgressSink&) -> ToolRun::Completion {
            e->initDiscPath();
            return [this] { first_ = false; };
        },
        {});
}

void SystemCleanupViewController::setStartupDiskAccessRequired(bool required) {
    accessRequired_ = required;
    showIdleTexts();
}

void SystemCleanupViewController::showIdleTexts() {
    if (accessRequired_ && !startupDiskAccessGranted()) {
        idlePanel()->setPrompt({{"Select File", true}, {"to continue", false}});
        idlePanel()->setScanText("Select File");
    } else {
        idlePanel()->setPrompt({{"Push", false}, {"\"Scan\"", true}, {"to start scan", false}});
        idlePanel()->setScanText("Scan");
    }
}

bool SystemCleanupViewController::beforeScan() {
    if (accessRequired_ && !startupDiskAccessGranted()) {
        selectFileClicked();
        return false;
    }
    return true;
}

void SystemCleanupViewController::selectFileClicked() {
    if (askForStartupDisk(*this, chooser_))
        showIdleTexts();
}

ToolScreen::Totals SystemCleanupViewController::tickedTotals() const {
    return {manager_.totleIssueAllModule(), manager_.totleSizeAllModule()};
}

// ---- progress ----

void SystemCleanupViewController::addRows(ProgressList& list, const std::vector<int>& modules) {
    rowOfModule_.clear();
    for (int module : modules)
        rowOfModule_[module] =
            list.addRow(QString::fromStdString(QSVCleanManager::convertImageModule(module)),
                        QString::fromStdString(QSVCleanManager::convertModule(module)),
                        ProgressList::State::Scanning);
}

void SystemCleanupViewController::fillScanRows(ProgressList& list) {
    scanned_ = manager_.modulesToScan();
    addRows(list, scanned_);
}

void SystemCleanupViewController::fillCleanRows(ProgressList& list) {
    std::vector<int> modules;
    for (const auto& entry : manager_.discData())
        modules.push_back(entry.first);
    addRows(list, modules);
}

void SystemCleanupViewController::moduleDone(std::int64_t module, bool scanning) {
    auto it = rowOfModule_.find(module);
    if (it == rowOfModule_.end())
        return;
    progressList()->setRowState(it->second, ProgressList::State::Done);
    if (scanning)
        progressList()->setRowValue(it->second,
                                    QString::fromStdString(CommonFunction::getSizeString(
                                        manager_.totleSizeNoCheck(static_cast<int>(module)))));
}

QString SystemCleanupViewController::progressText(const ProgressEvent& event) const {
    const int sections = static_cast<int>(rowOfModule_.size());
    const int done =
        event.fraction > 0 ? static_cast<int>(std::lround(event.fraction * sections)) : 0;
    if (stage() == Stage::Scanning) {
        // The engine waits for the application catalogue first; once a place is
        // walked or a module is in, the modules are being scanned.
        if (event.phase == kInitialize && event.path.empty() && done == 0)
            return kInitialize;
        return QString("Scanning: %1 of %2 sections done").arg(done).arg(sections);
    }
    if (event.phase.rfind("Cleaned ", 0) == 0)
        return QString("Cleaning: %1 of %2 sections done").arg(done).arg(sections);
    return QString::fromStdString(event.phase);
}

// ---- ends of runs ----

void SystemCleanupViewController::scanEnded(const ScanSummary& summary) {
    source_.setLeft({});
    source_.reload(scanned_, summary.stopped);
    NotificationCenter::defaultCenter().post(systemScanFinishNotification);
}

void SystemCleanupViewController::cleanEnded(const CleanOutcome& outcome) {
    std::vector<std::string> left;
    for (const LeftItem& l : outcome.left)
        left.push_back(l.path);
    lastReport_ = QSVCleanManager::reportOf(outcome, std::move(left));
    source_.setLeft(outcome.left);
    source_.reload();
}

void SystemCleanupViewController::fillReportRows(ReportPanel& report) const {
    report.setPreparedRows(manager_.scanResult());
}

CleanFinishInfo SystemCleanupViewController::finishInfo(const CleanOutcome&) const {
    return cleanFinishInfo(tool::SystemCleanup, lastReport_);
}

} // namespace tessaly
