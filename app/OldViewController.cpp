#include "app/OldViewController.h"

#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "platform/UserFolders.h"

namespace tessaly {

namespace {

constexpr const char* kTitle = "Old Files";

ToolScreen::Texts oldTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "large-old-normal-badge";
    t.description = "Quickly find and delete old files which remain unopened for a long period "
                    "by time frame.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Analyzing you files...";
    t.cleaningTitle = "Unneeded Old Files Removal";
    t.reportTitle = "Scan Completed";
    t.reportHeadlines[1] = "Review detailed scan to see the particular items Pallomar offers to "
                           "remove";
    t.runButton = "Remove";
    return t;
}

} // namespace

OldViewController::OldViewController(AppDelegate* d, QWidget* parent, OldFileScan* engine)
    : ToolScreen(d, tool::OldFilesFinder, engine ? *engine : OldFileScan::shareOldFileScan(),
                 source_, parent),
      engine_(engine ? *engine : OldFileScan::shareOldFileScan()) {
    setObjectName("Screen-old");
    setTexts(oldTexts());
    picker_ = new FolderListPicker;
    setIdleAccessory(picker_);
    const std::string downloads = userfolders::path(userfolders::Kind::Downloads);
    if (!downloads.empty())
        picker_->addFolders({QString::fromStdString(downloads)});

    NotificationCenter& center = NotificationCenter::defaultCenter();
    folderDone_ =
        ObserverToken(center, center.addObserver(oldScanModuleFinsh, [this](const Notification& n) {
            if (const auto* path = std::any_cast<std::string>(&n.object))
                rowDone(*path, Stage::Scanning);
        }));
    fileDone_ = ObserverToken(
        center, center.addObserver(oldCleanModuleFinsh, [this](const Notification& n) {
            if (const auto* path = std::any_cast<std::string>(&n.object))
                rowDone(*path, Stage::Cleaning);
        }));
}

void OldViewController::addFiles(const QStringList& paths) {
    picker_->addFolders(paths);
    if (!isDoing)
        startOverClicked();
}

bool OldViewController::beforeScan() {
    if (!picker_->requireFolders())
        return false;
    engine_.setScanFolders(picker_->foldersToScan());
    return true;
}

void OldViewController::addRow(ProgressList& list, const std::string& path, const QString& icon) {
    rowOf_[path] = list.addRow(icon, QString::fromStdString(paths::lastComponent(path)),
                               ProgressList::State::Scanning);
}

// A row per folder of the list; each is done once its own listing has ended.
void OldViewController::fillScanRows(ProgressList& list) {
    rowOf_.clear();
    for (const std::string& folder : picker_->foldersToScan())
        addRow(list, folder, "folder-icon");
}

// A row per ticked file, done once its removal has been tried.
void OldViewController::fillCleanRows(ProgressList& list) {
    rowOf_.clear();
    for (const std::string& file : engine_.getSelectFiles())
        addRow(list, file, "other-files-icon");
}

void OldViewController::rowDone(const std::string& path, Stage during) {
    if (stage() != during)
        return;
    if (auto it = rowOf_.find(path); it != rowOf_.end())
        progressList()->setRowState(it->second, ProgressList::State::Done);
}

QString OldViewController::progressText(const ProgressEvent&) const {
    return {}; // the path line follows the walk; the text stays
}

void OldViewController::scanEnded(const ScanSummary& summary) {
    source_.setData(engine_.data, summary.stopped);
    NotificationCenter::defaultCenter().post(oldScanFinishNotfication);
}

void OldViewController::cleanEnded(const CleanOutcome&) {
    source_.setData(engine_.data, false);
}

void OldViewController::fillReportRows(ReportPanel& report) const {
    std::vector<ModuleReport> lines;
    for (const auto& age : engine_.data)
        lines.push_back({age->name, age->fileSizeWithCheck(), age->fileCountWithCheck(), 0.0f});
    report.setRows(lines, static_cast<int>(lines.size()) + 1); // every age class by name
}

std::int64_t OldViewController::sidebarValue(bool afterClean) const {
    // After a scan, what was found; after a clean, what is still ticked.
    return afterClean ? tickedTotals().bytes : engine_.allSize();
}

} // namespace tessaly
