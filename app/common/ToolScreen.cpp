#include "app/common/ToolScreen.h"

#include "app/SoundPlayer.h"
#include "app/common/DetailList.h"
#include "app/common/DetailSource.h"
#include "app/common/DetailText.h"
#include "app/common/ProblemsNote.h"
#include "app/common/ProgressList.h"
#include "app/common/ReportPanel.h"
#include "app/common/RunConfirmation.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/StartupSteps.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

namespace tessaly {

namespace {

QPushButton* button(const QString& text, bool primary) {
    auto* b = new QPushButton(text);
    b->setObjectName(primary ? "PrimaryButton" : "SecondaryButton");
    return b;
}

// A page: its content above one row of buttons, the same on every page and in
// every tool: secondary actions on the left, the page's main action on the right.
QWidget* page(QWidget* content, QWidget* left, const std::vector<QWidget*>& middle,
              QWidget* right) {
    auto* w = new QWidget;
    auto* row = new QHBoxLayout;
    row->setContentsMargins(28, 0, 28, 16);
    row->setSpacing(12);
    if (left)
        row->addWidget(left);
    for (QWidget* m : middle)
        row->addWidget(m);
    row->addStretch(1);
    if (right)
        row->addWidget(right);
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content, 1);
    layout->addLayout(row);
    return w;
}

bool anyItems(DetailSource& source) {
    for (int c = 0; c < source.categoryCount(); ++c)
        if (source.itemCount(c, {}) > 0)
            return true;
    return false;
}

QString leftSummary(std::size_t left) {
    if (left == 0)
        return {};
    return left == 1 ? QString("1 item was left in place.")
                     : QString("%1 items were left in place.").arg(left);
}

} // namespace

ToolScreen::ToolScreen(AppDelegate* d, std::int64_t toolIndex, ToolEngine& engine,
                       DetailSource& source, QWidget* parent)
    : ToolBaseViewController(d, toolIndex, parent), engine_(engine), source_(source) {
    top_ = makeTopView(QString::fromUtf8(toolInfo(toolIndex)->title));

    idle_ = new ToolStagePanel;
    connect(idle_, &ToolStagePanel::scanClicked, this, &ToolScreen::scanClicked);

    progress_ = new ProgressList;
    stop_ = button("Stop", false);
    connect(stop_, &QPushButton::clicked, this, &ToolScreen::stopClicked);
    progressPage_ = page(progress_, nullptr, {}, stop_);

    report_ = new ReportPanel;
    auto* startOver = button("Start over", false);
    connect(startOver, &QPushButton::clicked, this, &ToolScreen::startOverClicked);
    reportDetails_ = button("Detailed Results", true);
    connect(reportDetails_, &QPushButton::clicked, this, &ToolScreen::detailClicked);
    reportPage_ = page(report_, startOver, {}, reportDetails_);

    details_ = new DetailList;
    back_ = button("Back", false);
    connect(back_, &QPushButton::clicked, this, &ToolScreen::backClicked);
    summary_ = new QLabel;
    summary_->setObjectName("Summary");
    totals_ = new QLabel;
    totals_->setObjectName("RunTotals");
    run_ = button(QString(), true);
    connect(run_, &QPushButton::clicked, this, &ToolScreen::cleanClicked);
    connect(details_, &DetailList::checksChanged, this, &ToolScreen::updateTotals);
    auto* runBox = new QWidget;
    auto* runRow = new QHBoxLayout(runBox);
    runRow->setContentsMargins(0, 0, 0, 0);
    runRow->setSpacing(12);
    runRow->addWidget(totals_);
    runRow->addWidget(run_);
    detailsPage_ = page(details_, back_, {summary_}, runBox);

    done_ = new ReportPanel;
    auto* doneStartOver = button("Start over", false);
    connect(doneStartOver, &QPushButton::clicked, this, &ToolScreen::startOverClicked);
    doneDetails_ = button("Detailed Results", true);
    connect(doneDetails_, &QPushButton::clicked, this, &ToolScreen::detailClicked);
    donePage_ = page(done_, doneStartOver, {}, doneDetails_);

    pages_ = new QStackedWidget(this);
    for (QWidget* p :
         {static_cast<QWidget*>(idle_), progressPage_, reportPage_, detailsPage_, donePage_})
        pages_->addWidget(p);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    show(Stage::Idle);
}

ToolScreen::~ToolScreen() = default;

void ToolScreen::setTexts(Texts texts) {
    texts_ = std::move(texts);
    idle_->setBadge(texts_.badge);
    idle_->setTitle(texts_.title);
    idle_->setDescription(texts_.description);
    idle_->setPrompt(texts_.prompt);
    run_->setText(texts_.runButton);
}

void ToolScreen::setIdleAccessory(QWidget* widget) {
    idle_->setAccessory(widget);
}

void ToolScreen::setDetailsHeader(QWidget* widget) {
    static_cast<QVBoxLayout*>(detailsPage_->layout())->insertWidget(0, widget);
}

void ToolScreen::start() {
    if (QWidget* focus = mainControl())
        focus->setFocus(Qt::OtherFocusReason);
}

QWidget* ToolScreen::mainControl() const {
    switch (stage_) {
    case Stage::Idle:
        return idle_->scanButton();
    case Stage::Scanning:
    case Stage::Cleaning:
        return stop_;
    case Stage::Report:
        return reportDetails_;
    case Stage::Details:
        return details_->categoryTree();
    case Stage::Done:
        return doneDetails_->isEnabled() ? doneDetails_ : nullptr;
    }
    return nullptr;
}

void ToolScreen::show(Stage stage) {
    stage_ = stage;
    QWidget* shown = idle_;
    switch (stage) {
    case Stage::Idle:
        break;
    case Stage::Scanning:
    case Stage::Cleaning:
        shown = progressPage_;
        break;
    case Stage::Report:
        shown = reportPage_;
        break;
    case Stage::Details:
        shown = detailsPage_;
        break;
    case Stage::Done:
        shown = donePage_;
        break;
    }
    pages_->setCurrentWidget(shown);
    // Keyboard users land on the page's main control.
    if (QWidget* focus = mainControl(); focus && isVisible())
        focus->setFocus(Qt::OtherFocusReason);
    emit stageChanged(stage);
}

// ---- runs ----

void ToolScreen::beginRun(Stage stage, const QString& title, const QString& text,
                          void (ToolScreen::*fillRows)(ProgressList&), ToolRun::Work work) {
    isDoing = true;
    stopped_ = false;
    emit workStarted();
    progress_->setTitle(title);
    progress_->setText(text);
    progress_->setPath({});
    progress_->clearRows();
    progress_->setProgress(0);
    progress_->setBusy(true); // until the engine tells how far it is
    stop_->setEnabled(true);
    show(stage);
    (this->*fillRows)(*progress_);
    runner_.start(std::move(work), [this](const ProgressEvent& e) { onProgress(e); });
}

void ToolScreen::onProgress(const ProgressEvent& event) {
    if (stage_ != Stage::Scanning && stage_ != Stage::Cleaning)
        return;
    if (runner_.stopRequested())
        return; // the line says that it is stopping
    const QString text = progressText(event);
    if (!text.isEmpty())
        progress_->setText(text);
    if (!event.path.empty())
        progress_->setPath(QString::fromStdString(event.path));
    if (event.fraction >= 0)
        progress_->advanceTo(event.fraction);
}

QString ToolScreen::progressText(const ProgressEvent& event) const {
    return QString::fromStdString(event.phase);
}

void ToolScreen::finishRun(std::function<void()> then) {
    stop_->setEnabled(false);
    // Rows not done yet: done now, or not finished when the run was stopped.
    for (int row = 0; row < progress_->rowCount(); ++row)
        if (progress_->rowState(row) != ProgressList::State::Done)
            progress_->setRowState(row, stopped_ ? ProgressList::State::Warning
                                                 : ProgressList::State::Done);
    const int msec = static_cast<int>((1.0 - progress_->progress() + 0.1) * animationMsec_);
    if (msec <= 0) {
        progress_->setProgress(1.0);
        then();
        return;
    }
    connect(progress_, &ProgressList::filled, this, std::move(then), Qt::SingleShotConnection);
    progress_->fill(msec);
}

void ToolScreen::stopClicked() {
    if ((stage_ != Stage::Scanning && stage_ != Stage::Cleaning) || !runner_.running())
        return;
    runner_.stop();
    stop_->setEnabled(false);
    progress_->setText("Stopping…");
}

// ---- scan ----

void ToolScreen::scanClicked() {
    // While memory is freed the shell's alert comes first, before any sheet.
    if (isDoing || !mayStartWork() || !beforeScan())
        return;
    SoundPlayer::player().playClikSelectSound();
    summary_->clear();
    beginRun(Stage::Scanning, texts_.scanningTitle, texts_.scanningText, &ToolScreen::fillScanRows,
             [this, engine = &engine_, followUp = scanFollowUp()](std::stop_token stop,
                                                                  const ProgressSink& sink) {
                 ScanSummary summary = engine->scan(stop, sink);
                 if (followUp && !stop.stop_requested())
                     followUp();
                 summary.stopped = summary.stopped || stop.stop_requested();
                 return ToolRun::Completion([this, summary] { scanFinished(summary); });
             });
}

void ToolScreen::scanFinished(const ScanSummary& summary) {
    scan_ = summary;
    stopped_ = summary.stopped;
    scanEnded(summary);
    finishRun([this] {
        isDoing = false;
        emit workFinished({false, sidebarValue(false), 0});
        if (detailsAfterScan()) {
            fillReport(); // for Back
            showDetails();
        } else {
            showReport();
        }
    });
}

std::int64_t ToolScreen::sidebarValue(bool) const {
    return tickedTotals().bytes;
}

void ToolScreen::fillEmptyReport(ReportPanel& report) const {
    report.showMessage("No selected file can be remove");
}

void ToolScreen::showReport() {
    fillReport();
    show(Stage::Report);
}

void ToolScreen::fillReport() {
    const Totals totals = tickedTotals();
    report_->setNote(scan_.stopped ? QString("The scan was stopped before it had finished: what it "
                                             "had not reached is not listed.")
                                   : QString());
    if (totals.count > 0 || totals.bytes > 0) {
        report_->setTitle(texts_.reportTitle);
        report_->setHeadlines(texts_.reportHeadlines[0], texts_.reportHeadlines[1],
                              texts_.reportHeadlines[2]);
        report_->setTotal(totalText(totals));
        fillReportRows(*report_);
    } else {
        report_->setTitle("Scan Completed");
        report_->setHeadlines({}, {}, {});
        report_->setTotal({});
        fillEmptyReport(*report_);
    }
    report_->problemsNote()->setProblems(scanProblemsSummary(scan_.problems), scan_.problems);
}

QString ToolScreen::totalText(const Totals& totals) const {
    if (totals.bytes > 0)
        return sizeText(totals.bytes);
    return totals.count > 0 ? QString("%1 Files").arg(totals.count) : QString();
}

ToolScreen::Totals ToolScreen::tickedTotals() const {
    Totals totals;
    const Plan plan = engine_.plan();
    std::set<const void*> records;
    for (const PlanItem& item : plan.items)
        if (!item.record || records.insert(item.record.get()).second)
            ++totals.count;
    totals.bytes = plan.bytes();
    return totals;
}

// ---- details ----

void ToolScreen::detailClicked() {
    if (!isDoing)
        showDetails();
}

void ToolScreen::showDetails() {
    details_->setSource(&source_);
    updateTotals();
    show(Stage::Details);
}

void ToolScreen::updateTotals() {
    const Totals totals = tickedTotals();
    totals_->setText(totalText(totals));
    run_->setEnabled(totals.count > 0 && !isDoing);
}

void ToolScreen::refreshDetails() {
    details_->reload();
    updateTotals();
}

void ToolScreen::backClicked() {
    if (isDoing)
        return;
    SoundPlayer::player().playLittleButtonSound();
    showReport();
}

void ToolScreen::startOverClicked() {
    if (isDoing)
        return;
    SoundPlayer::player().playLittleButtonSound();
    summary_->clear();
    emit resultCleared();
    show(Stage::Idle);
}

QString ToolScreen::summary() const {
    return summary_->text();
}

QString ToolScreen::totalsText() const {
    return totals_->text();
}

// ---- clean ----

void ToolScreen::cleanClicked() {
    if (isDoing || confirmation_)
        return;
    const Totals totals = tickedTotals();
    if (totals.count == 0 || !mayStartWork() || !beforeClean())
        return;
    SoundPlayer::player().playClikSelectSound();
    if (!askBeforeCleaning(UserDefaults::standardUserDefaults())) {
        startClean();
        return;
    }
    confirmation_ = new RunConfirmation(texts_.runButton, totals.count, totals.bytes, window());
    connect(confirmation_, &QDialog::accepted, this, &ToolScreen::startClean);
    confirmation_->open();
}

void ToolScreen::startClean() {
    if (isDoing)
        return;
    recordCleanStart(UserDefaults::standardUserDefaults(), index, now());
    summary_->clear();
    beginRun(Stage::Cleaning, texts_.cleaningTitle, QString(), &ToolScreen::fillCleanRows,
             [this, engine = &engine_, plan = engine_.plan()](std::stop_token stop,
                                                              const ProgressSink& sink) {
                 CleanOutcome outcome = engine->clean(plan, stop, sink);
                 outcome.stopped = outcome.stopped || stop.stop_requested();
                 return ToolRun::Completion([this, outcome] { cleanFinished(outcome); });
             });
}

void ToolScreen::runWithoutReview() {
    if (isDoing || !mayStartWork())
        return;
    recordCleanStart(UserDefaults::standardUserDefaults(), index, now());
    summary_->clear();
    beginRun(Stage::Cleaning, texts_.cleaningTitle, QString(), &ToolScreen::fillCleanRows,
             [this, engine = &engine_](std::stop_token stop, const ProgressSink& sink) {
                 const ScanSummary measured = engine->scan(stop, sink);
                 CleanOutcome outcome;
                 if (!stop.stop_requested())
                     outcome = engine->clean(engine->plan(), stop, sink);
                 // What could not even be measured (gone meanwhile) was left too.
                 for (const Problem& p : measured.problems)
                     outcome.left.push_back({p.path, p.reason});
                 outcome.stopped = outcome.stopped || measured.stopped || stop.stop_requested();
                 return ToolRun::Completion([this, outcome] { cleanFinished(outcome); });
             });
}

QString ToolScreen::cleanedAmount(const CleanOutcome& outcome) const {
    if (outcome.bytes >= 1)
        return sizeText(outcome.bytes);
    return outcome.removed >= 1 ? QString("%1 Files").arg(outcome.removed) : QString();
}

void ToolScreen::cleanFinished(const CleanOutcome& outcome) {
    outcome_ = outcome;
    stopped_ = outcome.stopped;
    cleanEnded(outcome);
    finishRun([this] {
        SoundPlayer::player().playRemoveSound();
        isDoing = false;
        emit workFinished({true, sidebarValue(true), outcome_.bytes});
        if (const QString amount = cleanedAmount(outcome_); !amount.isEmpty())
            summary_->setText("Cleaned:  " + amount);
        postCleanFinish(finishInfo(outcome_));
        if (!stopped_ && tickedTotals().count > 0 && detailsAfterClean())
            showDetails();
        else
            showDone();
    });
}

QString ToolScreen::doneMessage(const CleanOutcome& outcome) const {
    return QString("%1 of unneeded items were removed from your system and applications.")
        .arg(sizeText(outcome.bytes));
}

CleanFinishInfo ToolScreen::finishInfo(const CleanOutcome& outcome) const {
    return {index, CleanResultTotals{outcome.bytes, outcome.removed, outcome.issues}};
}

void ToolScreen::showDone() {
    done_->setTitle("Cleanup Completed");
    done_->setHeadlines({}, {}, {});
    done_->setTotal(summary_->text());
    done_->showMessage(doneMessage(outcome_));
    done_->setNote(outcome_.stopped
                       ? QString("The clean was stopped before it had finished: what it had "
                                 "not reached is still listed and ticked.")
                       : QString());
    ProblemList left;
    for (const LeftItem& l : outcome_.left)
        left.push_back({l.path, l.reason});
    done_->problemsNote()->setProblems(leftSummary(left.size()), left);
    doneDetails_->setEnabled(anyItems(source_));
    show(Stage::Done);
}

} // namespace tessaly
