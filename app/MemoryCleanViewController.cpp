#include "app/MemoryCleanViewController.h"

#include "app/AppDelegate.h"
#include "app/Artwork.h"
#include "app/MemoryView.h"
#include "app/SoundPlayer.h"
#include "helper/DeamonInstaller.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <stop_token>

namespace tessaly {

namespace {

constexpr const char* kIdleText = "OPTIMIZE MEMORY TO SPEED UP YOUR SYSTEM";
constexpr const char* kOptimized = "MEMORY IS OPTIMIZED, APP WILL NOW RUN FASTER";
constexpr const char* kNothingNeeded = "MEMORT IS THE BEST, NO OPTIMIZATION IS NEEDED";
constexpr int kBarSteps = 1000;
constexpr int kCreepTickMsec = 50;
constexpr double kCreepSeconds = 10.0; // to 95 %, about half of what Quobble may take
constexpr const char* kRowNames[4] = {"Free", "Active", "Inactive", "Wired"};

QString memoryText(double pages) {
    return QString::fromStdString(CommonFunction::getMemorySizeString2(pages));
}

} // namespace

MemorySource MemorySource::system() {
    Function& f = Function::shareMemoryFunction();
    return {[&f] { return f.memoryData(); }, [&f] { return f.clearMemory(); },
            [&f] { f.stopClean(); }};
}

MemoryCleanViewController::MemoryCleanViewController(AppDelegate* d, QWidget* parent,
                                                     MemorySource source)
    : ToolBaseViewController(d, tool::MemoryOptimization, parent), source_(std::move(source)) {
    setObjectName("Screen-memory");
    top_ = makeTopView(QString::fromUtf8(toolInfo(tool::MemoryOptimization)->title));
    buildView();
    timer.setInterval(100);
    connect(&timer, &QTimer::timeout, this, &MemoryCleanViewController::animi);
    cleanTimer.setSingleShot(true);
    cleanTimer.setInterval(kNothingToGainSeconds * 1000);
    connect(&cleanTimer, &QTimer::timeout, this, &MemoryCleanViewController::resetCleanFlag);
    creep_.setInterval(kCreepTickMsec);
    connect(&creep_, &QTimer::timeout, this, [this] {
        const int step =
            std::max(1, static_cast<int>(950 * kCreepTickMsec / 1000.0 / kCreepSeconds));
        bar_->setValue(std::min(950, bar_->value() + step));
    });
    connect(chart_, &MemoryView::animateEnd, this, &MemoryCleanViewController::animateEnd);
    showIdleTexts();
    showData(false);
}

MemoryCleanViewController::~MemoryCleanViewController() = default;

void MemoryCleanViewController::buildView() {
    auto* title = new QLabel("Memory Optimization", this);
    title->setObjectName("ScreenTitle");
    auto* line = new QLabel("Optimize memory to speed up your system.", this);
    line->setObjectName("Headline");
    chart_ = new MemoryView(this);

    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(10);
    rows->setVerticalSpacing(6);
    for (int i = 0; i < 4; ++i) {
        auto* dot = new QLabel(this);
        dot->setFixedSize(10, 10);
        dot->setStyleSheet(
            QString("background:%1;border-radius:5px;").arg(MemoryView::sliceColor(i).name()));
        values_[i] = new QLabel(this);
        values_[i]->setObjectName("ReportRowValue");
        rows->addWidget(dot, i, 0);
        rows->addWidget(new QLabel(kRowNames[i], this), i, 1);
        rows->addWidget(values_[i], i, 2, Qt::AlignRight);
    }
    rows->setColumnStretch(1, 1);

    freeField_ = new QWidget(this);
    freeNumber_ = new QLabel(freeField_);
    freeNumber_->setObjectName("ReportTotal");
    freeUnit_ = new QLabel(freeField_);
    freeUnit_->setObjectName("Headline");
    auto* field = new QHBoxLayout(freeField_);
    field->setContentsMargins(0, 0, 0, 0);
    field->addWidget(freeNumber_);
    field->addWidget(freeUnit_, 0, Qt::AlignBottom);
    field->addStretch(1);
    doneMark_ = new QLabel(this);
    doneMark_->setPixmap(artwork::pixmap("done-mark", 48));
    doneMark_->hide();
    state_ = new QLabel(this);
    state_->setObjectName("ReportCaption");
    state_->setWordWrap(true);

    optimize_ = new QPushButton("OPTIMIZE", this);
    optimize_->setObjectName("PrimaryButton");
    optimize_->setGraphicsEffect(new QGraphicsOpacityEffect(optimize_));
    connect(optimize_, &QPushButton::clicked, this, &MemoryCleanViewController::onClean);
    stop_ = new QPushButton("Stop", this);
    stop_->setObjectName("SecondaryButton");
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, &MemoryCleanViewController::onStop);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName("Progress");
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    bar_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(optimize_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addLayout(rows);
    right->addSpacing(12);
    right->addWidget(freeField_);
    right->addWidget(doneMark_);
    right->addWidget(state_);
    right->addWidget(bar_);
    right->addLayout(buttons);
    right->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->setSpacing(24);
    middle->addWidget(chart_, 1);
    middle->addLayout(right, 1);

    auto_ = new QCheckBox("Smart Auto Optimize", this);
    auto_->setChecked(UserDefaults::standardUserDefaults().boolForKey(keys::Login));
    // The box reads the setting; a click toggles it through onAutoRelease.
    connect(auto_, &QCheckBox::clicked, this, [this] { onAutoRelease(); });
    auto* note = new QLabel(QString::fromStdString(forLayout(
                                "  (Improve the performance of your Mac by auto-recovering RAM.)")),
                            this);
    note->setObjectName("BottomHint");
    note->setWordWrap(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(auto_);
    bottom->addWidget(note, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 16, 28, 12);
    layout->setSpacing(8);
    layout->addWidget(title);
    layout->addWidget(line);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
}

int MemoryCleanViewController::scaled(double seconds) const {
    return std::max(0, static_cast<int>(seconds * msecPerSecond_));
}

// ---- what is shown ----

void MemoryCleanViewController::showData(bool animate) {
    const std::optional<MemoryData> m = source_.sample();
    const double pages[4] = {m ? m->free : 0, m ? m->active : 0, m ? m->inactive : 0,
                             m ? m->wired : 0};
    const float all = static_cast<float>(pages[0] + pages[1] + pages[2] + pages[3]);
    MemoryView::Fractions shares{};
    for (int i = 0; i < 4; ++i) {
        values_[i]->setText(m ? memoryText(pages[i]) : QString("—"));
        shares[i] = all > 0 ? static_cast<float>(pages[i]) / all : 0.0f;
    }
    if (animate)
        chart_->setNewData(shares);
    else
        chart_->setData(shares);
    // Without statistics there is nothing to measure a release by.
    optimize_->setEnabled(m.has_value());
    if (m)
        freeCount = static_cast<std::int64_t>(m->free);
}

void MemoryCleanViewController::showFreeField(const QString& number, const QString& unit) {
    freeNumber_->setText(number);
    freeUnit_->setText(unit);
    freeUnit_->setVisible(!unit.isEmpty());
}

void MemoryCleanViewController::showIdleTexts() {
    showFreeField("MEMORY", {});
    freeField_->show();
    doneMark_->hide();
    state_->setText(kIdleText);
}

QString MemoryCleanViewController::rowValue(int row) const {
    return values_.at(row)->text();
}

QString MemoryCleanViewController::freeSizeText() const {
    return freeNumber_->text() + (freeUnit_->isHidden() ? QString() : freeUnit_->text());
}

bool MemoryCleanViewController::freeSizeVisible() const {
    return !freeField_->isHidden();
}

QString MemoryCleanViewController::stateText() const {
    return state_->text();
}

bool MemoryCleanViewController::doneMarkVisible() const {
    return !doneMark_->isHidden();
}

// ---- the screen's pace ----

void MemoryCleanViewController::start() {
    showData(false);
    count = 0;
    addCount = 1;
    timer.start();
    optimize_->setFocus(Qt::OtherFocusReason);
}

void MemoryCleanViewController::exit() {
    timer.stop(); // nothing to pulse or refresh while the screen is not shown
}

void MemoryCleanViewController::animi() {
    if (isDoing)
        return;
    if (!optimize_->isHidden()) {
        auto* effect = static_cast<QGraphicsOpacityEffect*>(optimize_->graphicsEffect());
        const qreal alpha = effect->opacity() + (addAlpha ? 0.05 : -0.05);
        effect->setOpacity(std::clamp<qreal>(alpha, 0.0, 1.0));
        if (alpha > 0.99)
            addAlpha = false;
        else if (alpha < 0.01)
            addAlpha = true;
    }
    if (addCount != 0 && ++count == 11) {
        count = 0;
        showData(false);
    }
}

// ---- optimising ----

void MemoryCleanViewController::onClean() {
    if (isDoing || !mayStartWork())
        return;
    SoundPlayer::player().playClikSelectSound();
    isDoing = true;
    emit workStarted();
    const bool allowed = cleanCount < kMaxReleases;
    const std::int64_t before = freeCount;
    addCount = 0;
    cleanTimer.stop();
    bar_->setValue(0);
    bar_->show();
    creep_.start();
    optimize_->hide();
    stop_->show();
    stop_->setEnabled(allowed);
    stop_->setFocus(Qt::OtherFocusReason);
    showFreeField("OPTIMIZE", {});
    freeField_->show();
    doneMark_->hide();
    state_->setText(kIdleText);
    release_.start(
        [release = source_.release, stop = source_.stop, allowed, before,
         this](std::stop_token token, const ProgressSink&) -> ToolRun::Completion {
            bool ran = false;
            if (allowed && release) {
                // The screen going away ends the release too.
                std::stop_callback ending(token, [&stop] {
                    if (stop)
                        stop();
                });
                ran = release();
            }
            return [this, allowed, ran, before] { releaseReturned(allowed, ran, before); };
        },
        {});
}

void MemoryCleanViewController::onStop() {
    if (isDoing && release_.running() && source_.stop)
        source_.stop();
}

void MemoryCleanViewController::releaseReturned(bool allowed, bool ran, std::int64_t before) {
    creep_.stop();
    stop_->hide();
    const double progress = static_cast<double>(bar_->value()) / kBarSteps;
    bar_->setValue(kBarSteps);
    QTimer::singleShot(scaled(1.0 - progress + 0.1), this,
                       [this, allowed, ran, before] { showResult(allowed, ran, before); });
}

void MemoryCleanViewController::showResult(bool allowed, bool ran, std::int64_t before) {
    bar_->hide();
    optimize_->show();
    optimize_->setFocus(Qt::OtherFocusReason);
    if (allowed && !ran) {
        // Nothing was released: the screen goes back to what it showed.
        isDoing = false;
        addCount = 1;
        showIdleTexts();
        emit resultCleared();
        showAlert("Quobble, the program that releases memory, could not be started.", "Notice");
        return;
    }
    if (ran)
        ++cleanCount;
    showData(true);
    QTimer::singleShot(scaled(2.0), this, [this] { addCount = 1; });
    const std::int64_t freed = freeCount - before;
    const bool nothingToGain = freed <= kNothingToGain;
    if (nothingToGain) {
        addCount = 3;
        cleanTimer.start();
    } else {
        const auto pages = static_cast<double>(freed);
        showFreeField(QString::fromStdString(CommonFunction::getMemorySizeString4(pages)),
                      QString::fromStdString(CommonFunction::getMemorySizeString5(pages)));
    }
    if (nothingToGain || !allowed) {
        freeField_->hide();
        doneMark_->show();
        state_->setText(kNothingNeeded);
    } else {
        freeField_->show();
        doneMark_->hide();
        state_->setText(kOptimized);
    }
    postCleanFinish(cleanFinishInfo(tool::MemoryOptimization, freed));
    emit workFinished({false, 0, 0});
}

void MemoryCleanViewController::animateEnd() {
    isDoing = false;
}

// The nothing-to-gain result has been shown long enough. The display keeps
// refreshing, as on the idle screen.
void MemoryCleanViewController::resetCleanFlag() {
    cleanTimer.stop();
    addCount = 1;
    showIdleTexts();
}

// ---- Smart Auto Optimize ----

void MemoryCleanViewController::onAutoRelease() {
    const bool on = !UserDefaults::standardUserDefaults().boolForKey(keys::Login);
    startAutoRelease(on);
    auto_->setChecked(on);
}

void MemoryCleanViewController::startAutoRelease(bool on) {
    DeamonInstaller& installer = DeamonInstaller::shareInstaller();
    if (on)
        installer.installAutoMenu();
    else
        installer.uninstallAutoMenu();
    UserDefaults::standardUserDefaults().setBool(keys::Login, on); // written at once
}

} // namespace tessaly
