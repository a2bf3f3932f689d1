#include "app/common/ShareChart.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>

namespace tessaly {

ShareChart::ShareChart(QWidget* parent) : QWidget(parent) {
    setObjectName("ShareChart");
    setAccessibleName("Share of each category");
    setMinimumSize(150, 150);
}

void ShareChart::setLines(const std::vector<ModuleReport>& lines) {
    lines_ = lines;
    // What the ring shows, for those who cannot see it.
    QStringList shares;
    for (const ModuleReport& l : lines)
        shares << QString("%1: %2%").arg(QString::fromStdString(l.name)).arg(qRound(l.b * 100));
    setAccessibleDescription(shares.join(", "));
    update();
}

QColor ShareChart::colorAt(std::size_t i) {
    static const char* const colours[] = {"#2f80ed", "#9b51e0", "#f2994a", "#27ae60",
                                          "#eb5757", "#2d9cdb", "#a9b4c6"};
    return QColor(colours[i % (sizeof colours / sizeof *colours)]);
}

void ShareChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 16;
    const qreal thickness = side * 0.16;
    QRectF ring((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    ring.adjust(thickness / 2, thickness / 2, -thickness / 2, -thickness / 2);

    p.setPen(QPen(QColor("#e3e8ef"), thickness, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, 0, 360 * 16);

    int start = 90 * 16; // clockwise from twelve o'clock
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        int span = static_cast<int>(std::clamp(lines_[i].b, 0.0f, 1.0f) * 360 * 16);
        if (span <= 0)
            continue;
        p.setPen(QPen(colorAt(i), thickness, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(ring, start, -span);
        start -= span;
    }
}

} // namespace tessaly
