#include "app/Sidebar.h"

#include "app/Artwork.h"
#include "model/ToolIndex.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace tessaly {

SidebarRow::SidebarRow(int row, std::int64_t toolIndex, QWidget* parent)
    : QWidget(parent), row_(row) {
    const ToolInfo* info = toolInfo(toolIndex);
    title_ = QString::fromUtf8(info->title);
    normalImage_ = QString::fromUtf8(info->sidebarNormal);
    selectedImage_ = QString::fromUtf8(info->sidebarSelected);
    setObjectName(QString("SidebarRow%1").arg(row));
    setAccessibleName(title_);
    setFixedHeight(46);
    setCursor(Qt::PointingHandCursor);
    spin_.setInterval(60);
    connect(&spin_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

void SidebarRow::setSelected(bool selected) {
    selected_ = selected;
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

void SidebarRow::showLabel(const QString& text) {
    spinning_ = false;
    spin_.stop();
    done_ = false;
    label_ = text;
    labelVisible_ = true;
    update();
}

void SidebarRow::resetMarks() {
    spinning_ = false;
    spin_.stop();
    done_ = false;
    labelVisible_ = false;
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
    p.drawPixmap(QPointF(r.left() + 12, r.center().y() - 10),
                 artwork::pixmap(selected_ ? selectedImage_ : normalImage_, 20));

    QFont f = font();
    f.setPointSizeF(10);
    f.setWeight(selected_ ? QFont::DemiBold : QFont::Normal);
    p.setFont(f);
    p.setPen(selected_ ? QColor(Qt::white) : QColor("#c9d2df"));
    const qreal reserved = spinning_ || done_ ? 26 : labelVisible_ ? 72 : 4;
    QRectF textRect(r.left() + 42, r.top(), r.width() - 42 - reserved, r.height());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetrics(f).elidedText(title_, Qt::ElideRight, int(textRect.width())));

    QRectF right(r.right() - 72, r.top(), 64, r.height());
    if (spinning_) {
        QPointF c(right.right() - 9, right.center().y());
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
        p.drawPixmap(QPointF(right.right() - 16, right.center().y() - 8),
                     artwork::pixmap("done-mark", 16));
    } else if (labelVisible_) {
        QFont lf = font();
        lf.setPointSizeF(9);
        p.setFont(lf);
        p.setPen(selected_ ? QColor(Qt::white) : QColor("#8fb6f5"));
        p.drawText(right, Qt::AlignVCenter | Qt::AlignRight, label_);
    }
}

void SidebarRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(row_);
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
    setFixedWidth(248);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 16, 0, 16);
    layout->setSpacing(2);
    auto* brand = new QLabel(this);
    brand->setObjectName("SidebarBrand");
    brand->setText("Tessaly");
    brand->setContentsMargins(20, 0, 0, 14);
    layout->addWidget(brand);
    for (int i = 0; i < 10; ++i) {
        rows_[static_cast<std::size_t>(i)] = new SidebarRow(i, resetIndex(i), this);
        layout->addWidget(rows_[static_cast<std::size_t>(i)]);
        connect(rows_[static_cast<std::size_t>(i)], &SidebarRow::clicked, this,
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
    if (auto* old = row(selected_))
        old->setSelected(false);
    selected_ = r;
    if (auto* now = row(r))
        now->setSelected(true);
}

} // namespace tessaly
