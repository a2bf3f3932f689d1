#include "app/DuplicateViewController.h"

#include "ScanCode/duplicate/DuplicateKinds.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "platform/UserFolders.h"

namespace tessaly {

namespace {

constexpr const char* kTitle = "Duplicate Cleanup";

ToolScreen::Texts duplicateTexts() {
    ToolScreen::Texts t;
    t.title = kTitle;
    t.badge = "duplicate-normal-badge";
    t.description =
        "Find duplicate files quickly and accurately. Delete them to save a lot of disk space.";
    t.prompt = {{"Push"}, {"\"Scan\"", true}, {"to start scan"}};
    t.scanningTitle = kTitle;
    t.scanningText = "Analyzing you files...";
    t.cleaningTitle = "Unneeded Duplicate Files Removal";
    t.reportTitle = "Scan Completed";
    t.reportHeadlines[0] = "CAN BE SALFLY CLEANED AUTOMATICALLY";
    t.reportHeadlines[1] = "Review detailed scan to see the particular items Pallomar offers to "
                           "remove";
    t.reportHeadlines[2] = "Delete unwanted duplicate files to free disk space.";
    t.runButton = "Remove";
    return t;
}

void addKindRows(ProgressList& list, const std::vector<DuplicateInfoRef>* only) {
    for (int k = 0; k < dupkind::kCount; ++k) {
        const bool ticked = !only || std::any_of(only->begin(), only->end(), [k](const auto& i) {
            return i->module == k && i->checkStatus() != 0;
        });
        if (ticked)
            list.addRow(QString::fromStdString(dupkind::imageWithModule(k)),
                        QString::fromStdString(dupkind::moduleStr(k)),
                        ProgressList::State::Scanning);
    }
}

} // namespace

DuplicateViewController::DuplicateViewController(AppDelegate* d, QWidget* parent,
                                                 DuplicateFile* engine)
    : ToolScreen(d, tool::DuplicatesFinder, engine ? *engine : DuplicateFile::shareDuplicateFile(),
                 source_, parent),
      engine_(engine ? *engine : DuplicateFile::shareDuplicateFile()) {
    setObjectName("Screen-duplicates");
    setTexts(duplicateTexts());
    picker_ = new FolderListPicker;
    setIdleAccessory(picker_);
    QStringList seeds;
    for (const std::string& folder : userfolders::mediaFolders())
        seeds << QString::fromStdString(folder);
    picker_->addFolders(seeds);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    doneObserver_ = ObserverToken(
        center, center.addObserver(duplicateScanModuleFinsh, [this](const Notification& n) {
            const auto* done = std::any_cast<PlistValue::Dict>(&n.object);
            if (stage() != Stage::Scanning || !done)
                return;
            for (const auto& [key, value] : *done)
                if (value.toBool())
                    progressList()->setRowState(std::stoi(key), ProgressList::State::Done);
        }));
}

void DuplicateViewController::addFiles(const QStringList& paths) {
    picker_->addFolders(paths);
    if (!isDoing)
        startOverClicked();
}

bool DuplicateViewController::beforeScan() {
    if (!picker_->requireFolders())
        return false;
    engine_.setScanFolders(picker_->foldersToScan());
    return true;
}

void DuplicateViewController::fillScanRows(ProgressList& list) {
    addKindRows(list, nullptr);
}

void DuplicateViewController::fillCleanRows(ProgressList& list) {
    addKindRows(list, &engine_.data);
}

QString DuplicateViewController::progressText(const ProgressEvent& event) const {
    if (event.phase == kCompareFileMD5)
        return kCompareFileMD5;
    if (event.phase == "Removing")
        return "Removing the ticked copies";
    return {}; // the walk: "Analyzing you files..." stays
}

void DuplicateViewController::scanEnded(const ScanSummary& summary) {
    source_.setData(engine_.data, summary.stopped);
}

void DuplicateViewController::cleanEnded(const CleanOutcome&) {
    source_.setData(engine_.data, false);
}

void DuplicateViewController::fillReportRows(ReportPanel& report) const {
    std::vector<ModuleReport> lines;
    for (const auto& info : engine_.data)
        if (info->allSize() > 0)
            lines.push_back(
                {dupkind::moduleStr(info->module), info->allSize(), info->allCountNoCheck(), 0.0f});
    report.setRows(lines, 5);
}

} // namespace tessaly
