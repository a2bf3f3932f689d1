#include "app/MemoryView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {

constexpr float kStep = 0.001f;
constexpr double kStartDegrees = -124.0;
constexpr double kGapDegrees = 1.0;

} // namespace

MemoryView::MemoryView(QWidget* parent) : QWidget(parent) {
    setObjectName("MemoryView");
    setMinimumSize(180, 180);
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &MemoryView::animate);
}

QColor MemoryView::sliceColor(int slice) {
    static const QColor colours[] = {QColor(3, 152, 207), QColor(95, 156, 7), QColor(254, 120, 1),
                                     QColor(221, 55, 55)};
    return colours[std::clamp(slice, 0, 3)];
}

void MemoryView::setData(const Fractions& shares) {
    timer_.stop();
    dataSource_ = shares;
    oldDataSource_ = shares;
    drawn_ = shares;
    update();
}

void MemoryView::setNewData(const Fractions& shares) {
    drawn_ = oldDataSource_;
    dataSource_ = shares;
    timer_.start();
}

void MemoryView::animate() {
    if (drawn_ == dataSource_) {
        timer_.stop();
        oldDataSource_ = dataSource_; // a later animated update starts from here
        emit animateEnd();
        return;
    }
    bool grown = false, shrunk = false;
    for (std::size_t i = 0; i < drawn_.size(); ++i) {
        float& now = drawn_[i];
        const float target = dataSource_[i];
        if (std::fabs(target - now) <= kStep)
            now = target;
        else if (target > now && !grown) {
            now += kStep;
            grown = true;
        } else if (target < now && !shrunk) {
            now -= kStep;
            shrunk = true;
        }
    }
    update();
}

void MemoryView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min<double>(kRadius, std::min(width(), height()) / 2.0 - 1);
    const QRectF circle(width() / 2.0 - radius, height() / 2.0 - radius, 2 * radius, 2 * radius);
    p.setPen(Qt::NoPen);
    float all = 0;
    for (float f : drawn_)
        all += std::isfinite(f) ? f : 0;
    if (all <= 0) { // no sample: an empty circle
        p.setBrush(QColor("#e3e8ef"));
        p.drawEllipse(circle);
        return;
    }
    // Qt counts angles counter-clockwise in sixteenths of a degree; the slices run clockwise.
    double start = kStartDegrees;
    for (int i = 0; i < 4; ++i) {
        const double span = drawn_[i] * (360.0 - 4 * kGapDegrees);
        p.setBrush(sliceColor(i));
        p.drawPie(circle, static_cast<int>(std::lround(start * 16)),
                  -static_cast<int>(std::lround(span * 16)));
        start -= span + kGapDegrees;
    }
}

} // namespace tessaly
