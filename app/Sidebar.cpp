#include "app/Sidebar.h"

#include "app/Artwork.h"
#include "model/ToolIndex.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

namespace {

constexpr int kIconLeft = 20; // the image's left edge, from the row's edge
constexpr int kTextLeft = 50; // the title's left edge
constexpr int kMarkRoom = 30; // the spinner or done mark on the right
constexpr qreal kTitlePoints = 10;
constexpr qreal kLabelPoints = 8.5;

QFont sized(QFont f, qreal points, bool bold = false) {
    f.setPointSizeF(points);
    f.setWeight(bold ? QFont::DemiBold : QFont::Normal);
    return f;
}

} // namespace

SidebarRow::SidebarRow(int row, std::int64_t toolIndex, QWidget* parent)
    : QAbstractButton(parent), row_(row) {
    const ToolInfo* info = toolInfo(toolIndex);
    setText(QString::fromUtf8(info->title));
    normalImage_ = QString::fromUtf8(info->sidebarNormal);
    selectedImage_ = QString::fromUtf8(info->sidebarSelected);
    setObjectName(QString("SidebarRow%1").arg(row));
    setAccessibleName(text());
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(36);
    connect(this, &QAbstractButton::clicked, this, [this] { emit activated(row_); });
    setCursor(Qt::PointingHandCursor);
    spin_.setInterval(60);
    connect(&spin_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void SidebarRow::setSelected(bool selected) {
    selected_ = selected;
    setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
    update();
}

void SidebarRow::startSpinner() {
    spinning_ = true;
    done_ = false;
    labelVisible_ = false;
    spin_.start();
    update();
}

void SidebarRow::showDone() {
    spinning_ = false;
    spin_.stop();
    done_ = true;
    labelVisible_ = false;
    update();
}

void SidebarRow::showLabel(const QString& label) {
    spinning_ = false;
    spin_.stop();
    done_ = false;
    label_ = label;
    labelVisible_ = true;
    setAccessibleDescription(label);
    update();
}

void SidebarRow::resetMarks() {
    spinning_ = false;
    spin_.stop();
    done_ = false;
    labelVisible_ = false;
    setAccessibleDescription({});
    update();
}

void SidebarRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r = QRectF(rect()).adjusted(8, 3, -8, -3);
    if (selected_) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#2f80ed"));
        p.drawRoundedRect(r, 8, 8);
    } else if (hover_ && isEnabled()) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 18));
        p.drawRoundedRect(r, 8, 8);
    }
    if (hasFocus()) {
        p.setPen(QPen(QColor("#f2c94c"), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 7, 7);
    }
    p.drawPixmap(QPointF(kIconLeft, r.center().y() - 10),
                 artwork::pixmap(selected_ ? selectedImage_ : normalImage_, 20));

    // The title, and the result under it when there is one.
    const QFont titleFont = sized(font(), kTitlePoints, selected_);
    const QFont labelFont = sized(font(), kLabelPoints);
    const qreal textWidth = width() - kTextLeft - kMarkRoom;
    QRectF titleRect(kTextLeft, r.top(), textWidth, r.height());
    if (labelVisible_)
        titleRect.setBottom(r.center().y() + 2);
    p.setFont(titleFont);
    p.setPen(selected_ ? QColor(Qt::white) : QColor("#c9d2df"));
    p.drawText(titleRect, Qt::AlignLeft | (labelVisible_ ? Qt::AlignBottom : Qt::AlignVCenter),
               QFontMetrics(titleFont).elidedText(text(), Qt::ElideRight, int(textWidth)));
    if (labelVisible_) {
        QRectF labelRect(kTextLeft, r.center().y() + 3, textWidth, r.bottom() - r.center().y() - 3);
        p.setFont(labelFont);
        p.setPen(selected_ ? QColor(Qt::white) : QColor("#8fb6f5"));
        p.drawText(labelRect, Qt::AlignTop | Qt::AlignLeft,
                   QFontMetrics(labelFont).elidedText(label_, Qt::ElideRight, int(textWidth)));
    }

    QRectF right(r.right() - kMarkRoom + 4, r.top(), kMarkRoom - 8, r.height());
    if (spinning_) {
        QPointF c(right.center().x(), right.center().y());
        for (int i = 0; i < 12; ++i) {
            p.save();
            p.translate(c);
            p.rotate(angle_ + i * 30);
            QColor dot = selected_ ? QColor(Qt::white) : QColor("#8fb6f5");
            dot.setAlphaF(0.15 + 0.85 * (i / 11.0));
            p.setPen(QPen(dot, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -4), QPointF(0, -7));
            p.restore();
        }
    } else if (done_) {
        p.drawPixmap(QPointF(right.center().x() - 8, right.center().y() - 8),
                     artwork::pixmap("done-mark", 16));
    }
}

bool SidebarRow::titleFits() const {
    const QFontMetrics metrics(sized(font(), kTitlePoints, true)); // the wider, selected style
    return metrics.horizontalAdvance(text()) <= width() - kTextLeft - kMarkRoom;
}

void SidebarRow::keyPressEvent(QKeyEvent* event) {
    // Up and Down belong to the list (it moves the selection); Space is the button's.
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        event->ignore();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SidebarRow::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void SidebarRow::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

SidebarView::SidebarView(QWidget* parent) : QWidget(parent) {
    setObjectName("Sidebar");
    setAttribute(Qt::WA_StyledBackground);
    // As wide as the longest title needs (results go under the titles).
    int longest = 0;
    const QFontMetrics metrics(sized(font(), kTitlePoints, true));
    for (int i = 0; i < 10; ++i)
        longest = std::max(
            longest, metrics.horizontalAdvance(QString::fromUtf8(toolInfo(resetIndex(i))->title)));
    setFixedWidth(kTextLeft + longest + kMarkRoom + 12);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(0);
    for (int i = 0; i < 10; ++i) {
        rows_[static_cast<std::size_t>(i)] = new SidebarRow(i, resetIndex(i), this);
        layout->addWidget(rows_[static_cast<std::size_t>(i)]);
        connect(rows_[static_cast<std::size_t>(i)], &SidebarRow::activated, this,
                &SidebarView::rowClicked);
    }
    layout->addStretch(1);
    total_ = new QLabel(this);
    total_->setObjectName("SidebarTotal");
    total_->setContentsMargins(20, 0, 12, 0);
    total_->setWordWrap(true);
    layout->addWidget(total_);
}

void SidebarView::setCleanTotal(const QString& text) {
    total_->setText(text);
}

QString SidebarView::cleanTotalText() const {
    return total_->text();
}

SidebarRow* SidebarView::row(std::int64_t r) const {
    if (r < 0 || r > 9)
        return nullptr;
    return rows_[static_cast<std::size_t>(r)];
}

void SidebarView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Down && selected_ < 9)
        emit rowClicked(selected_ + 1);
    else if (event->key() == Qt::Key_Up && selected_ > 0)
        emit rowClicked(selected_ - 1);
    else
        QWidget::keyPressEvent(event);
}

void SidebarView::setSelectedRow(int r) {
    SidebarRow* old = row(selected_);
    const bool focused = old && old->hasFocus();
    if (old)
        old->setSelected(false);
    selected_ = r;
    if (auto* now = row(r)) {
        now->setSelected(true);
        if (focused) // the keyboard follows the selection
            now->setFocus(Qt::TabFocusReason);
    }
}

} // namespace tessaly
