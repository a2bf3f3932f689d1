#include "app/common/ProgressList.h"

#include "app/Artwork.h"
#include "app/common/ElidedLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

namespace {

constexpr int kTickMsec = 30;
constexpr int kBarSteps = 1000;

// A turning arc shown beside a row that is being worked on.
class Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent) : QWidget(parent) {
        setFixedSize(18, 18);
        turn_.setInterval(60);
        QObject::connect(&turn_, &QTimer::timeout, this, [this] {
            angle_ = (angle_ + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { turn_.start(); }
    void hideEvent(QHideEvent*) override { turn_.stop(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor("#2f80ed"), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(2, 2, 14, 14), -angle_ * 16, 270 * 16);
    }

private:
    QTimer turn_;
    int angle_ = 0;
};

} // namespace

ProgressList::ProgressList(QWidget* parent) : QWidget(parent) {
    setObjectName("ProgressList");
    title_ = new QLabel(this);
    title_->setObjectName("ScreenTitle");
    text_ = new QLabel(this);
    text_->setObjectName("Headline");
    text_->setWordWrap(true);
    auto* rows = new QWidget;
    rows->setObjectName("ProgressRows");
    rowsLayout_ = new QGridLayout(rows);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setHorizontalSpacing(24);
    rowsLayout_->setVerticalSpacing(6);
    rowsLayout_->setAlignment(Qt::AlignTop);
    rowsLayout_->setColumnStretch(0, 1);
    rowsLayout_->setColumnStretch(1, 1);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("ProgressRowsScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(rows);
    scroll->setMinimumHeight(60);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName("Progress");
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    path_ = new ElidedLabel(this);
    path_->setObjectName("ProgressPath");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 16, 28, 12);
    layout->setSpacing(8);
    layout->addWidget(title_);
    layout->addWidget(text_);
    layout->addWidget(scroll, 1);
    layout->addWidget(bar_);
    layout->addWidget(path_);

    timer_.setInterval(kTickMsec);
    connect(&timer_, &QTimer::timeout, this, &ProgressList::step);
}

void ProgressList::setTitle(const QString& title) {
    title_->setText(title);
}

void ProgressList::setText(const QString& text) {
    text_->setText(text);
}

QString ProgressList::title() const {
    return title_->text();
}

QString ProgressList::text() const {
    return text_->text();
}

void ProgressList::clearRows() {
    for (auto& r : rows_)
        delete r.widget;
    rows_.clear();
}

int ProgressList::addRow(const QString& icon, const QString& title, State state) {
    Row r;
    r.widget = new QWidget(this);
    r.widget->setObjectName("ProgressRow");
    r.icon = new QLabel(r.widget);
    r.icon->setPixmap(artwork::pixmap(icon, 28));
    r.title = new QLabel(title, r.widget);
    r.title->setObjectName("ProgressRowTitle");
    r.spinner = new Spinner(r.widget);
    r.mark = new QLabel(r.widget);
    r.mark->setFixedSize(18, 18);
    r.value = new QLabel(r.widget);
    r.value->setObjectName("ProgressRowValue");
    r.widget->setAccessibleName(title);
    auto* l = new QHBoxLayout(r.widget);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(10);
    l->addWidget(r.icon);
    l->addWidget(r.title, 1);
    l->addWidget(r.value);
    l->addWidget(r.spinner);
    l->addWidget(r.mark);
    r.state = state;
    showState(r);
    const int n = rowCount();
    rowsLayout_->addWidget(r.widget, n / 2, n % 2);
    rows_.push_back(r);
    return rowCount() - 1;
}

void ProgressList::showState(Row& row) {
    row.spinner->setVisible(row.state == State::Scanning);
    switch (row.state) {
    case State::Done:
        row.mark->setPixmap(artwork::pixmap("done-mark", 18));
        break;
    case State::Warning:
        row.mark->setPixmap(artwork::pixmap("iconWarning", 18));
        break;
    default:
        row.mark->clear();
        break;
    }
    row.mark->setVisible(row.state == State::Done || row.state == State::Warning);
    row.title->setEnabled(row.state != State::Waiting);
}

void ProgressList::setRowState(int row, State state) {
    if (row < 0 || row >= rowCount())
        return;
    rows_[row].state = state;
    showState(rows_[row]);
}

void ProgressList::setAllRowStates(State state) {
    for (int i = 0; i < rowCount(); ++i)
        setRowState(i, state);
}

void ProgressList::setRowValue(int row, const QString& value) {
    if (row >= 0 && row < rowCount())
        rows_[row].value->setText(value);
}

ProgressList::State ProgressList::rowState(int row) const {
    return rows_.at(row).state;
}

QString ProgressList::rowTitle(int row) const {
    return rows_.at(row).title->text();
}

QString ProgressList::rowValue(int row) const {
    return rows_.at(row).value->text();
}

void ProgressList::apply(double share) {
    progress_ = std::clamp(share, 0.0, 1.0);
    if (busy_) {
        busy_ = false;
        bar_->setRange(0, kBarSteps);
    }
    bar_->setValue(static_cast<int>(progress_ * kBarSteps));
}

void ProgressList::setBusy(bool busy) {
    busy_ = busy;
    bar_->setRange(0, busy ? 0 : kBarSteps);
    if (!busy)
        bar_->setValue(static_cast<int>(progress_ * kBarSteps));
}

void ProgressList::advanceTo(double share) {
    if (busy_ || share > progress_)
        setProgress(std::max(share, progress_));
}

void ProgressList::setProgress(double share) {
    timer_.stop();
    filling_ = false;
    apply(share);
}

void ProgressList::creepTo(double target, int msec) {
    filling_ = false;
    target_ = std::clamp(target, 0.0, 1.0);
    if (target_ <= progress_) {
        timer_.stop();
        return;
    }
    perTick_ = (target_ - progress_) * kTickMsec / std::max(msec, kTickMsec);
    timer_.start();
}

void ProgressList::fill(int msec) {
    creepTo(1.0, msec);
    filling_ = true;
    if (!timer_.isActive()) // already full
        emit filled();
}

void ProgressList::step() {
    apply(std::min(target_, progress_ + perTick_));
    if (progress_ < target_)
        return;
    timer_.stop();
    if (filling_) {
        filling_ = false;
        emit filled();
    }
}

void ProgressList::setPath(const QString& path) {
    path_->setFullText(path);
}

QString ProgressList::path() const {
    return path_->fullText();
}

} // namespace tessaly
