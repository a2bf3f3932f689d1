#include "app/DuplicateViewController.h"

#include "ScanCode/duplicate/DuplicateKinds.h"
#include "ScanCode/duplicate/FolderList.h"
#include "app/AppDelegate.h"
#include "app/common/DetailList.h"
#include "app/common/FolderListPicker.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/ToolStagePanel.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

constexpr const char* kTitle = "Duplicate Cleanup";

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(CommonFunction::getSizeString(bytes));
}

// A page: the panel with a row of buttons under it.
QWidget* page(QWidget* parent, QWidget* panel, const std::vector<QPushButton*>& buttons) {
    auto* w = new QWidget(parent);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(28, 0, 28, 16);
    row->addStretch(1);
    for (QPushButton* b : buttons) {
        b->setParent(w);
        row->addWidget(b);
    }
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel, 1);
    layout->addLayout(row);
    panel->setParent(w);
    return w;
}

} // namespace

DuplicateViewController::DuplicateViewController(AppDelegate* d, QWidget* parent,
                                                 DuplicateFile* engine)
    : ToolBaseViewController(d, tool::DuplicatesFinder, parent),
      engine_(engine ? *engine : DuplicateFile::shareDuplicateFile()) {
    setObjectName("Screen-duplicates");
    top_ = makeTopView(QString::fromUtf8(toolInfo(tool::DuplicatesFinder)->title));
    bottom_ = nullptr;

    stagePanel_ = new ToolStagePanel;
    stagePanel_->setBadge("duplicate-normal-badge");
    stagePanel_->setTitle(kTitle);
    stagePanel_->setDescription(
        "Find duplicate files quickly and accurately. Delete them to save a lot of disk space.");
    stagePanel_->setPrompt({{"Push"}, {"\"Scan\"", true}, {"to start scan"}});
    picker_ = new FolderListPicker;
    stagePanel_->setAccessory(picker_);
    QStringList seeds;
    for (const char* name : {"Documents", "Movies", "Music", "Pictures", "Downloads"})
        seeds << QString::fromStdString(paths::join(paths::homePath(), name));
    picker_->addFolders(seeds);
    connect(stagePanel_, &ToolStagePanel::scanClicked, this, &DuplicateViewController::startScan);

    progress_ = new ProgressList;
    stop_ = new QPushButton("Stop");
    connect(stop_, &QPushButton::clicked, this, &DuplicateViewController::stopClicked);

    report_ = new ReportPanel;
    startOverButton_ = report_->addButton("Start over");
    detailsButton_ = report_->addButton("Detailed Results", true);
    connect(detailsButton_, &QPushButton::clicked, this, &DuplicateViewController::showDetails);
    connect(startOverButton_, &QPushButton::clicked, this, &DuplicateViewController::startOver);

    details_ = new DetailList;
    back_ = new QPushButton("Back");
    remove_ = new QPushButton("Remove");
    remove_->setObjectName("PrimaryButton");
    connect(back_, &QPushButton::clicked, this, [this] { showStage(Stage::Report); });
    connect(remove_, &QPushButton::clicked, this, &DuplicateViewController::startRemoval);
    connect(details_, &DetailList::checksChanged, this,
            &DuplicateViewController::updateDetailButtons);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(stagePanel_);
    pages_->addWidget(page(pages_, progress_, {stop_}));
    pages_->addWidget(report_);
    detailPage_ = page(pages_, details_, {back_, remove_});
    pages_->addWidget(detailPage_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    pathObserver_ = ObserverToken(
        center, center.addObserver(duplicatePathScanModuleFinsh, [this](const Notification& n) {
            if (stage_ != Stage::Scanning)
                return;
            if (const auto* p = std::any_cast<std::string>(&n.object))
                progress_->setPath(QString::fromStdString(*p));
        }));
    doneObserver_ = ObserverToken(
        center, center.addObserver(duplicateScanModuleFinsh, [this](const Notification& n) {
            if (stage_ != Stage::Scanning)
                return;
            const auto* done = std::any_cast<PlistValue::Dict>(&n.object);
            if (!done)
                return;
            for (const auto& [key, value] : *done)
                if (value.toBool())
                    progress_->setRowState(std::stoi(key), ProgressList::State::Done);
        }));
    showStage(Stage::Folders);
}

void DuplicateViewController::showStage(Stage stage) {
    stage_ = stage;
    switch (stage) {
    case Stage::Folders:
        pages_->setCurrentWidget(stagePanel_);
        break;
    case Stage::Scanning:
    case Stage::Removing:
        pages_->setCurrentWidget(progress_->parentWidget());
        break;
    case Stage::Report:
    case Stage::Cleaned:
        pages_->setCurrentWidget(report_);
        break;
    case Stage::Details:
        pages_->setCurrentWidget(detailPage_);
        break;
    }
    emit stageChanged(stage);
}

void DuplicateViewController::addFiles(const QStringList& paths) {
    picker_->addFolders(paths);
    if (stage_ != Stage::Scanning && stage_ != Stage::Removing)
        showStage(Stage::Folders);
}

void DuplicateViewController::startScan() {
    if (stage_ == Stage::Scanning || stage_ == Stage::Removing)
        return;
    if (!picker_->requireFolders() || !mayStartWork())
        return;
    // Walked as the folders themselves, also when the list names one through a link.
    std::vector<std::string> folders;
    for (const QString& f : picker_->folders()) {
        const QString real = QFileInfo(f).canonicalFilePath();
        folders.push_back((real.isEmpty() ? f : real).toStdString());
    }
    folders = cleanFolderList(folders);

    isDoing = true;
    interrupted_ = false;
    if (delegate)
        delegate->startRotateAnimi(index);
    progress_->setTitle(kTitle);
    progress_->setText("Analyzing you files...");
    progress_->clearRows();
    for (int k = 0; k < dupkind::kCount; ++k)
        progress_->addRow(QString::fromStdString(dupkind::imageWithModule(k)),
                          QString::fromStdString(dupkind::moduleStr(k)),
                          ProgressList::State::Scanning);
    progress_->setPath({});
    progress_->setProgress(0);
    progress_->creepTo(0.9, 20000);
    stop_->setEnabled(true);
    stop_->show();
    showStage(Stage::Scanning);

    QPointer<DuplicateViewController> self(this);
    DuplicateFile* engine = &engine_;
    engine->prepareScan();
    engine->setScanFolders(folders);
    GlobalQueue::async([engine, self] {
        ScanSummary summary = engine->scan({}, {});
        MainQueue::async([self, problems = std::move(summary.problems)] {
            if (self)
                self->scanFinished(problems);
        });
    });
}

void DuplicateViewController::stopClicked() {
    if (stage_ == Stage::Scanning) {
        interrupted_ = true;
        engine_.stopList();
    } else if (stage_ == Stage::Removing) {
        // Copies not yet handled stay in their groups, ticked; the helper hears the
        // stop from a worker.
        engine_.stopClear();
    } else {
        return;
    }
    stop_->setEnabled(false);
}

void DuplicateViewController::scanFinished(ProblemList problems) {
    scanProblems_ = std::move(problems);
    isDoing = false;
    source_.setData(engine_.data, interrupted_);
    if (delegate)
        delegate->stopRotateAnimi(index, engine_.allFileSizeWithoutCheck());
    stop_->setEnabled(false);
    progress_->setAllRowStates(ProgressList::State::Done);
    const int msec = static_cast<int>((1.0 - progress_->progress() + fillExtra_) * 1000);
    connect(progress_, &ProgressList::filled, this, &DuplicateViewController::showReport,
            Qt::SingleShotConnection);
    progress_->fill(msec);
}

void DuplicateViewController::showReport() {
    std::vector<ModuleReport> lines;
    bool anyGroup = false;
    for (const auto& info : engine_.data) {
        anyGroup = anyGroup || !info->dupFiles.empty();
        if (info->allSize() > 0)
            lines.push_back(
                {dupkind::moduleStr(info->module), info->allSize(), info->allCountNoCheck(), 0.0f});
    }
    report_->setTitle("Scan Completed");
    if (lines.empty()) {
        report_->setHeadlines({}, {}, {});
        report_->setTotal({});
        report_->showMessage("No selected file can be remove");
    } else {
        report_->setHeadlines("CAN BE SALFLY CLEANED AUTOMATICALLY",
                              "Review detailed scan to see the particular items Pallomar offers "
                              "to remove",
                              "Delete unwanted duplicate files to free disk space.");
        report_->setTotal(sizeText(engine_.allFileSizeWithoutCheck()));
        report_->setRows(lines, 5);
    }
    report_->problemsNote()->setProblems(scanProblemsSummary(scanProblems_), scanProblems_);
    detailsButton_->setEnabled(anyGroup);
    showStage(Stage::Report);
}

void DuplicateViewController::showDetails() {
    details_->setSource(&source_);
    updateDetailButtons();
    showStage(Stage::Details);
}

void DuplicateViewController::updateDetailButtons() {
    remove_->setEnabled(engine_.allFileSizeWithoutCheck() > 0 ||
                        std::any_of(engine_.data.begin(), engine_.data.end(),
                                    [](const DuplicateInfoRef& i) { return i->checkStatus(); }));
}

void DuplicateViewController::startOver() {
    if (delegate)
        delegate->resetCell(index);
    showStage(Stage::Folders);
}

void DuplicateViewController::startRemoval() {
    if (stage_ == Stage::Scanning || stage_ == Stage::Removing || !mayStartWork())
        return;
    recordCleanStart(UserDefaults::standardUserDefaults(), tool::DuplicatesFinder, now());
    isDoing = true;
    if (delegate)
        delegate->startRotateAnimi(index);
    progress_->setTitle("Unneeded Duplicate Files Removal");
    progress_->setText({});
    progress_->clearRows();
    for (const auto& info : engine_.data)
        if (info->checkStatus() != 0)
            progress_->addRow(QString::fromStdString(dupkind::imageWithModule(info->module)),
                              QString::fromStdString(dupkind::moduleStr(info->module)),
                              ProgressList::State::Scanning);
    progress_->setPath({});
    progress_->setProgress(0);
    progress_->creepTo(0.9, 5000);
    stop_->setEnabled(true);
    stop_->show();
    showStage(Stage::Removing);

    QPointer<DuplicateViewController> self(this);
    DuplicateFile* engine = &engine_;
    engine->prepareClear();
    GlobalQueue::async([engine, self] {
        DupCleanResult result = engine->clear();
        MainQueue::async([self, result] {
            if (self)
                self->removalFinished(result);
        });
    });
}

void DuplicateViewController::removalFinished(const DupCleanResult& result) {
    lastResult_ = result;
    isDoing = false;
    source_.setData(engine_.data, false);
    progress_->setAllRowStates(ProgressList::State::Done);
    if (delegate) {
        delegate->addCleanTotle(result.totleSize);
        delegate->stopRotateAnimi(index);
    }
    postCleanFinish(cleanFinishInfo(tool::DuplicatesFinder, result));

    QString cleaned = sizeText(result.totleSize);
    if (result.totleSize == 0 && result.fileCount > 0)
        cleaned = QString("%1 Files").arg(result.fileCount);
    report_->setTitle("Cleanup Completed");
    QString left;
    if (!result.cannotRemovePaths.empty())
        left = QString("%1 of the ticked copies were left in place; Detailed Results shows why.")
                   .arg(result.cannotRemovePaths.size());
    report_->setHeadlines({}, {}, left);
    report_->problemsNote()->clear();
    report_->setTotal("Cleaned:  " + cleaned);
    report_->showMessage(
        QString("%1 of unneeded items were removed from your system and applications.")
            .arg(sizeText(result.totleSize)));
    detailsButton_->setEnabled(std::any_of(engine_.data.begin(), engine_.data.end(),
                                           [](const auto& i) { return !i->dupFiles.empty(); }) ||
                               !result.cannotRemovePaths.empty());
    const int msec = static_cast<int>((1.0 - progress_->progress() + fillExtra_) * 1000);
    connect(
        progress_, &ProgressList::filled, this, [this] { showStage(Stage::Cleaned); },
        Qt::SingleShotConnection);
    progress_->fill(msec);
}

} // namespace tessaly
