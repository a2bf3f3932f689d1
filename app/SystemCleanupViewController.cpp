#include "app/SystemCleanupViewController.h"

#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "app/AppDelegate.h"
#include "app/AppSeams.h"
#include "app/common/DetailList.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/ToolStagePanel.h"
#include "model/CleanFinish.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

constexpr const char* kTitle = "System Cleanup";
constexpr const char* kDescription =
    "Clean up your system frequently and delete unwanted junk files to free up disk space. "
    "Your Mac will run more smoothly.";
constexpr double kScanCreepTarget = 0.97;
constexpr int kScanCreepUnits = 60; // the bar takes about a minute to creep to its target

QString sizeText(std::int64_t size) {
    return QString::fromStdString(CommonFunction::getSizeString(size));
}

// Runs work on the main queue while the screen is alive.
void onMain(const std::shared_ptr<bool>& alive, std::function<void()> work) {
    std::weak_ptr<bool> token = alive;
    MainQueue::async([token, work = std::move(work)] {
        if (auto t = token.lock(); t && *t)
            work();
    });
}

} // namespace

bool SystemCleanupViewController::startupDiskAccessRequired() {
    return false; // no sandbox: the application reads the start-up disk with the user's rights
}

SystemCleanupViewController::SystemCleanupViewController(AppDelegate* d, QWidget* parent,
                                                         QSVCleanManager* engine)
    : ToolBaseViewController(d, tool::SystemCleanup, parent),
      engine_(engine ? *engine : QSVCleanManager::shareQSVCLean()), source_(engine_),
      accessRequired_(startupDiskAccessRequired()) {
    setObjectName("Screen-system");
    top_ = makeTopView(kTitle);

    idle_ = new ToolStagePanel(this);
    idle_->setBadge("sys-cleanup-mormal-badge");
    idle_->setTitle(kTitle);
    idle_->setDescription(kDescription);
    connect(idle_, &ToolStagePanel::scanClicked, this, [this] {
        if (accessRequired_ && !SettingModel::shareSettingModel().selectFile)
            selectFileClicked();
        else
            scanClicked();
    });

    progressPage_ = new QWidget(this);
    progress_ = new ProgressList(progressPage_);
    stop_ = new QPushButton("Stop", progressPage_);
    connect(stop_, &QPushButton::clicked, this, &SystemCleanupViewController::stopClicked);
    auto* progressLayout = new QVBoxLayout(progressPage_);
    progressLayout->addWidget(progress_, 1);
    progressLayout->addWidget(stop_, 0, Qt::AlignRight);

    report_ = new ReportPanel(this);
    report_->setTitle(kTitle);
    connect(report_->addButton("Start over"), &QPushButton::clicked, this,
            &SystemCleanupViewController::startOverClicked);
    connect(report_->addButton("Detailed Results", true), &QPushButton::clicked, this,
            &SystemCleanupViewController::detailClicked);

    detailsPage_ = new QWidget(this);
    details_ = new DetailList(detailsPage_);
    details_->setSelectAllEveryCategory(true);
    summary_ = new QLabel(detailsPage_);
    summary_->setObjectName("Summary");
    totals_ = new QLabel(detailsPage_);
    totals_->setObjectName("BottomHint");
    auto* back = new QPushButton("Back", detailsPage_);
    connect(back, &QPushButton::clicked, this, &SystemCleanupViewController::backClicked);
    clean_ = new QPushButton("Clean", detailsPage_);
    clean_->setObjectName("PrimaryButton");
    connect(clean_, &QPushButton::clicked, this, &SystemCleanupViewController::cleanClicked);
    connect(details_, &DetailList::checksChanged, this, &SystemCleanupViewController::updateTotals);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(back);
    bottom->addWidget(summary_);
    bottom->addStretch(1);
    bottom->addWidget(totals_);
    bottom->addWidget(clean_);
    auto* detailsLayout = new QVBoxLayout(detailsPage_);
    detailsLayout->addWidget(details_, 1);
    detailsLayout->addLayout(bottom);

    completion_ = new ReportPanel(this);
    completion_->setTitle(kTitle);
    connect(completion_->addButton("Start over", true), &QPushButton::clicked, this,
            &SystemCleanupViewController::startOverClicked);

    stack_ = new QStackedWidget(this);
    for (QWidget* page :
         {static_cast<QWidget*>(idle_), progressPage_, static_cast<QWidget*>(report_), detailsPage_,
          static_cast<QWidget*>(completion_)})
        stack_->addWidget(page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    pathUpdate_ = ObserverToken(
        center, center.addObserver(pathUpdateNotification, [this](const Notification& n) {
            if (stage_ != Stage::Scanning)
                return;
            if (auto* p = std::any_cast<std::string>(&n.object))
                progress_->setPath(QString::fromStdString(*p));
        }));
    moduleFinish_ = ObserverToken(
        center, center.addObserver(scanModuleFinishNotification, [this](const Notification& n) {
            if (stage_ != Stage::Scanning)
                return;
            if (auto* m = std::any_cast<std::int64_t>(&n.object))
                onModuleDone(*m);
        }));
    cleanModule_ = ObserverToken(
        center, center.addObserver(cleanModuleNotification, [this](const Notification& n) {
            if (stage_ != Stage::Cleaning)
                return;
            if (auto* m = std::any_cast<std::int64_t>(&n.object))
                onModuleDone(*m);
        }));

    // The places are prepared once, in the background, when the screen is made.
    QSVCleanManager* e = &engine_;
    GlobalQueue::async([e, this, alive = alive_] {
        e->initDiscPath();
        onMain(alive, [this] { first_ = false; });
    });

    showIdleTexts();
    show(Stage::Idle);
}

SystemCleanupViewController::~SystemCleanupViewController() {
    *alive_ = false;
    engine_.stopDiskScan();
}

void SystemCleanupViewController::setStartupDiskAccessRequired(bool required) {
    accessRequired_ = required;
    showIdleTexts();
}

void SystemCleanupViewController::show(Stage stage) {
    stage_ = stage;
    switch (stage) {
    case Stage::Idle:
        stack_->setCurrentWidget(idle_);
        break;
    case Stage::Scanning:
    case Stage::Cleaning:
        stack_->setCurrentWidget(progressPage_);
        break;
    case Stage::Report:
        stack_->setCurrentWidget(report_);
        break;
    case Stage::Details:
        stack_->setCurrentWidget(detailsPage_);
        break;
    case Stage::Completed:
        stack_->setCurrentWidget(completion_);
        break;
    }
}

void SystemCleanupViewController::showIdleTexts() {
    if (accessRequired_ && !SettingModel::shareSettingModel().selectFile) {
        idle_->setPrompt({{"Select File", true}, {"to continue", false}});
        idle_->setScanText("Select File");
    } else {
        idle_->setPrompt({{"Push", false}, {"\"Scan\"", true}, {"to start scan", false}});
        idle_->setScanText("Scan");
    }
}

void SystemCleanupViewController::selectFileClicked() {
    QString chosen = chooser_ ? chooser_()
                              : QFileDialog::getExistingDirectory(this, QString(), "/",
                                                                  QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;
    if (QDir::cleanPath(chosen) != "/") {
        showAlert("Please Select Macintosh HD", "Notice");
        return;
    }
    // The grant is remembered as a bookmark of "/"; here the path itself stands for it.
    const std::string root = "/";
    UserDefaults::standardUserDefaults().setObject(
        keys::searchLocationKey, PlistValue(PlistValue::Data(root.begin(), root.end())));
    SettingModel::shareSettingModel().selectFile = true;
    showIdleTexts();
    NotificationCenter::defaultCenter().post(fileSelectNotification);
}

int SystemCleanupViewController::fillMsec() const {
    return static_cast<int>((1.0 - progress_->progress() + 0.1) * animationMsec_);
}

// ---- scan ----

void SystemCleanupViewController::scanClicked() {
    if (isDoing || !mayStartWork())
        return;
    isDoing = true;
    *stopRequested_ = false;
    if (delegate)
        delegate->startRotateAnimi(tool::SystemCleanup);
    progress_->setTitle(kTitle);
    progress_->setText("Initialize the engine...");
    progress_->setPath(QString());
    progress_->clearRows();
    rowOfModule_.clear();
    for (int module : engine_.modulesToScan()) {
        int row =
            progress_->addRow(QString::fromStdString(QSVCleanManager::convertImageModule(module)),
                              QString::fromStdString(QSVCleanManager::convertModule(module)),
                              ProgressList::State::Scanning);
        rowOfModule_[module] = row;
    }
    progress_->setProgress(0);
    progress_->creepTo(kScanCreepTarget, kScanCreepUnits * animationMsec_);
    stop_->setEnabled(true);
    show(Stage::Scanning);

    QSVCleanManager* e = &engine_;
    e->prepareScan(); // a Stop from now on reaches the scan, even before it has begun
    GlobalQueue::async([e, this, alive = alive_, stop = stopRequested_] {
        ScanSummary summary;
        bool ran = e->waitDiscPath([stop] { return stop->load(); }) &&
                   !(summary = e->scan({}, {})).stopped;
        onMain(alive, [this, ran, problems = std::move(summary.problems)] {
            scanFinished(ran, problems);
        });
    });
}

void SystemCleanupViewController::onModuleDone(std::int64_t module) {
    auto it = rowOfModule_.find(module);
    if (it == rowOfModule_.end())
        return;
    progress_->setRowState(it->second, ProgressList::State::Done);
    if (stage_ == Stage::Scanning)
        progress_->setRowValue(it->second,
                               sizeText(engine_.totleSizeNoCheck(static_cast<int>(module))));
}

void SystemCleanupViewController::stopClicked() {
    if (stage_ == Stage::Scanning) {
        *stopRequested_ = true;
        stop_->setEnabled(false);
        engine_.stopDiskScan();
    } else if (stage_ == Stage::Cleaning) {
        stop_->setEnabled(false);
        engine_.clearStop();
    }
}

void SystemCleanupViewController::scanFinished(bool ran, ProblemList problems) {
    scanProblems_ = std::move(problems);
    if (!ran || *stopRequested_) {
        // Stopped: back to the start, nothing to report.
        isDoing = false;
        progress_->setProgress(0);
        if (delegate)
            delegate->resetCell(tool::SystemCleanup);
        show(Stage::Idle);
        return;
    }
    for (const auto& [module, row] : rowOfModule_)
        if (engine_.bScanFinsh(static_cast<int>(module)))
            progress_->setRowState(row, ProgressList::State::Done);
    connect(progress_, &ProgressList::filled, this, &SystemCleanupViewController::finishScan,
            Qt::SingleShotConnection);
    progress_->fill(fillMsec());
}

void SystemCleanupViewController::finishScan() {
    isDoing = false;
    NotificationCenter::defaultCenter().post(systemScanFinishNotification);
    if (delegate)
        delegate->stopRotateAnimi(tool::SystemCleanup, engine_.totleSizeAllModule());
    source_.reload();
    showReport();
}

void SystemCleanupViewController::showReport() {
    report_->setHeadlines("CAN BE SALFLY CLEANED AUTOMATICALLY", "Unneeded System Items Removal",
                          "Review detailed scan to see the particular items Pallomar offers to "
                          "remove");
    const std::int64_t size = engine_.totleSizeAllModule();
    const std::int64_t ticked = engine_.totleIssueAllModule();
    if (size > 0) {
        report_->setTotal(sizeText(size));
        report_->setPreparedRows(engine_.scanResult());
    } else if (ticked > 0) {
        report_->setTotal(QString("%1").arg(ticked) + " Files");
        report_->setPreparedRows(engine_.scanResult());
    } else {
        report_->setHeadlines("Scan Completed", QString(), QString());
        report_->setTotal(QString());
        report_->showMessage("No selected file can be remove");
    }
    report_->problemsNote()->setProblems(scanProblemsSummary(scanProblems_), scanProblems_);
    show(Stage::Report);
}

void SystemCleanupViewController::detailClicked() {
    showDetails();
}

void SystemCleanupViewController::showDetails() {
    details_->setSource(&source_);
    updateTotals();
    show(Stage::Details);
}

void SystemCleanupViewController::startOverClicked() {
    if (isDoing)
        return;
    summary_->clear();
    if (delegate)
        delegate->resetCell(tool::SystemCleanup);
    show(Stage::Idle);
}

void SystemCleanupViewController::backClicked() {
    if (!isDoing)
        showReport();
}

void SystemCleanupViewController::updateTotals() {
    const std::int64_t size = engine_.totleSizeAllModule();
    const std::int64_t count = engine_.totleIssueAllModule();
    totals_->setText(size > 0    ? sizeText(size)
                     : count > 0 ? QString("%1 Files").arg(count)
                                 : QString());
    clean_->setEnabled(count > 0);
}

QString SystemCleanupViewController::summary() const {
    return summary_->text();
}

// ---- clean ----

void SystemCleanupViewController::cleanClicked() {
    if (isDoing || !mayStartWork())
        return;
    recordCleanStart(UserDefaults::standardUserDefaults(), tool::SystemCleanup, now());
    isDoing = true;
    if (delegate)
        delegate->startRotateAnimi(tool::SystemCleanup);
    progress_->setTitle(kTitle);
    progress_->setText("Cleaning...");
    progress_->setPath(QString());
    progress_->clearRows();
    rowOfModule_.clear();
    for (const auto& entry : engine_.discData()) {
        int row = progress_->addRow(
            QString::fromStdString(QSVCleanManager::convertImageModule(entry.first)),
            QString::fromStdString(QSVCleanManager::convertModule(entry.first)),
            ProgressList::State::Scanning);
        rowOfModule_[entry.first] = row;
    }
    progress_->setProgress(0);
    progress_->creepTo(kScanCreepTarget, kScanCreepUnits * animationMsec_);
    stop_->setEnabled(true);
    show(Stage::Cleaning);

    QSVCleanManager* e = &engine_;
    e->prepareClean(); // a Stop from now on reaches the clean, even before it has begun
    GlobalQueue::async([e, this, alive = alive_] {
        CleanOutcome outcome = e->clean(e->plan(), {}, {});
        onMain(alive, [this, outcome] { cleanFinished(outcome); });
    });
}

void SystemCleanupViewController::cleanFinished(CleanOutcome outcome) {
    left_ = outcome.left;
    std::vector<std::string> paths;
    for (const LeftItem& l : left_)
        paths.push_back(l.path);
    lastReport_ = QSVCleanManager::reportOf(outcome, std::move(paths));
    progress_->setAllRowStates(ProgressList::State::Done);
    stop_->setEnabled(false);
    connect(progress_, &ProgressList::filled, this, &SystemCleanupViewController::finishClean,
            Qt::SingleShotConnection);
    progress_->fill(fillMsec());
}

void SystemCleanupViewController::finishClean() {
    const CleanReport& report = lastReport_;
    if (delegate)
        delegate->addCleanTotle(report.removeSize);
    seams::playSound("remove");
    source_.reload();
    details_->setSource(&source_);
    isDoing = false;
    if (delegate)
        delegate->stopRotateAnimi(tool::SystemCleanup, report.removeSize);
    if (report.removeSize >= 1)
        summary_->setText("Cleaned:  " + sizeText(report.removeSize));
    else if (report.removeCount >= 1)
        summary_->setText(QString("%1 Files").arg(report.removeCount));
    else
        summary_->clear();
    postCleanFinish(cleanFinishInfo(tool::SystemCleanup, report));
    updateTotals();
    ProblemList left;
    for (const LeftItem& l : left_)
        left.push_back({l.path, l.reason});
    const QString leftText = left.empty() ? QString()
                             : left.size() == 1
                                 ? QString("1 item was left in place.")
                                 : QString("%1 items were left in place.").arg(left.size());
    completion_->problemsNote()->setProblems(leftText, left);
    if (engine_.totleIssueAllModule() == 0) {
        completion_->setHeadlines("Cleanup Completed", QString(), QString());
        completion_->setTotal(QString());
        completion_->showMessage(
            QString("%1 of unneeded items were removed from your system and applications.")
                .arg(sizeText(report.removeSize)));
        show(Stage::Completed);
    } else {
        show(Stage::Details);
    }
}

} // namespace tessaly
