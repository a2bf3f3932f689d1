#include "app/common/ElidedLabel.h"

#include <QFontMetrics>

namespace tessaly {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    setAccessibleName(text);
    refresh();
}

bool ElidedLabel::isElided() const {
    return text() != full_;
}

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 6, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(full_), QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refresh();
}

void ElidedLabel::refresh() {
    const int room = contentsRect().width();
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, room);
    QLabel::setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

} // namespace tessaly
