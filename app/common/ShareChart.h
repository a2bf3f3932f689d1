#pragma once

#include "model/ModuleData.h"

#include <QWidget>
#include <vector>

namespace tessaly {

// A ring of shares: one arc per report line, in line order, sized by its share b.
// With no line (or only empty shares) the ring is drawn as one grey track.
class ShareChart : public QWidget {
    Q_OBJECT
public:
    explicit ShareChart(QWidget* parent = nullptr);

    void setLines(const std::vector<ModuleReport>& lines);
    const std::vector<ModuleReport>& lines() const { return lines_; }

    // The colour of the arc of line i (also used for the legend dots of a report).
    static QColor colorAt(std::size_t i);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ModuleReport> lines_;
};

} // namespace tessaly
