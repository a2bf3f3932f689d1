#include "app/ShredderViewController.h"

#include "ScanCode/eraser/PickGuard.h"
#include "app/NoticeSheet.h"
#include "app/SoundPlayer.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProgressList.h"
#include "model/ToolIndex.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QPushButton>

namespace tessaly {

namespace {

ToolScreen::Texts shredderTexts() {
    ToolScreen::Texts t;
    t.title = "Eraser";
    t.badge = "eraser-normal-badge";
    t.description = "Shredder the files";
    t.prompt = {{"Add files or folders, then push"}, {"\"Shredder Files\"", true}};
    t.cleaningTitle = "Unneeded Files Removal";
    t.runButton = "Shredder Files";
    return t;
}

std::vector<std::string> standard(const QStringList& paths) {
    std::vector<std::string> out;
    for (const QString& p : paths)
        out.push_back(p.toStdString());
    return out;
}

} // namespace

ShredderViewController::ShredderViewController(AppDelegate* d, QWidget* parent,
                                               ShredderFiles* engine)
    : ToolScreen(d, tool::Eraser, engine ? *engine : ShredderFiles::shareShredder(), source_,
                 parent),
      engine_(engine ? *engine : ShredderFiles::shareShredder()) {
    setObjectName("Screen-eraser");
    setTexts(shredderTexts());
    idlePanel()->setScanText("Shredder Files");
    picker_ = new FolderListPicker;
    picker_->setFilesMode(true);
    setIdleAccessory(picker_);
    // The erase button works while the list holds something.
    auto enable = [this] { idlePanel()->scanButton()->setEnabled(!picker_->folders().isEmpty()); };
    connect(picker_, &FolderListPicker::changed, this, enable);
    enable();
    doneDetailsButton()->hide();

    NotificationCenter& center = NotificationCenter::defaultCenter();
    pathDone_ =
        ObserverToken(center, center.addObserver(shredderFileFinish, [this](const Notification& n) {
            const auto* path = std::any_cast<std::string>(&n.object);
            if (!path || stage() != Stage::Cleaning)
                return;
            if (auto it = rowOf_.find(*path); it != rowOf_.end())
                progressList()->setRowState(it->second, ProgressList::State::Done);
        }));
}

void ShredderViewController::addFiles(const QStringList& paths) {
    picker_->addFolders(paths);
    if (!isDoing)
        startOverClicked();
}

// The idle page's button erases; there is no scan of its own.
bool ShredderViewController::beforeScan() {
    eraseClicked();
    return false;
}

NoticeSheet* ShredderViewController::warning() const {
    return warning_;
}

void ShredderViewController::eraseClicked() {
    if (isDoing || warning_)
        return;
    if (picker_->folders().isEmpty()) {
        picker_->openSheet();
        return;
    }
    if (!mayStartWork() || refusedPick())
        return;
    SoundPlayer::player().playClikSelectSound();
    warning_ = new NoticeSheet("Warning", "Files delete permanently and data can not recover.",
                               window(), "Continue");
    connect(warning_, &QDialog::accepted, this, &ShredderViewController::eraseConfirmed);
    warning_->open();
}

// A listed path the Eraser never erases (the system's folders, a home folder, a
// mount point, ...) is named in a notice, and nothing starts.
bool ShredderViewController::refusedPick() {
    for (const std::string& path : standard(picker_->folders())) {
        std::string clean = path;
        while (clean.size() > 1 && clean.back() == '/')
            clean.pop_back();
        if (auto why = eraser::pickRefusal(clean)) {
            showAlert(QString("\"%1\" can not be erased: %2.")
                          .arg(QString::fromStdString(paths::lastComponent(clean)),
                               QString::fromStdString(*why)),
                      "Notice");
            return true;
        }
    }
    return false;
}

void ShredderViewController::eraseConfirmed() {
    if (picker_->folders().isEmpty()) {
        picker_->openSheet();
        return;
    }
    engine_.setPaths(standard(picker_->folders()));
    runWithoutReview();
}

void ShredderViewController::fillScanRows(ProgressList&) {
    // Never reached: the idle page's button erases (see beforeScan).
}

// A row per picked path as the run takes them (nested picks folded), each done
// when its work has ended.
void ShredderViewController::fillCleanRows(ProgressList& list) {
    rowOf_.clear();
    for (const std::string& path : ShredderFiles::foldPicks(standard(picker_->folders()))) {
        const bool folder = QFileInfo(QString::fromStdString(path)).isDir();
        rowOf_[path] = list.addRow(folder ? "folder-icon" : "other-files-icon",
                                   QString::fromStdString(paths::lastComponent(path)),
                                   ProgressList::State::Scanning);
    }
}

QString ShredderViewController::progressText(const ProgressEvent&) const {
    return {}; // the path line says what is being erased
}

void ShredderViewController::scanEnded(const ScanSummary&) {
    // Never reached: the measuring is part of the erase run.
}

// What is gone leaves the list; what could not be erased stays in it, with its
// reason on the completion page, for another try.
void ShredderViewController::cleanEnded(const CleanOutcome&) {
    QStringList left;
    for (const QString& path : picker_->folders())
        if (fileops::itemExists(path.toStdString()))
            left << path;
    picker_->setFolders(left);
}

void ShredderViewController::fillReportRows(ReportPanel&) const {
    // Never reached: a run goes from the idle page to its completion page.
}

} // namespace tessaly
