#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <array>

namespace tessaly {

// The pie chart of Memory Optimization: four slices (free, active, inactive,
// wired) in that order, clockwise from -124 degrees, separated by 1-degree gaps,
// on a circle of radius 133 centred in the view (smaller when the view is). An
// animated update moves the drawn slices towards their new shares by 0.001 per
// 0.01 s, one growing and one shrinking slice a tick, and says so when it ends.
class MemoryView : public QWidget {
    Q_OBJECT
public:
    using Fractions = std::array<float, 4>;

    explicit MemoryView(QWidget* parent = nullptr);

    static QColor sliceColor(int slice);
    static constexpr int kRadius = 133;

    // Draws the shares at once.
    void setData(const Fractions& shares);
    // Moves from the shares last set with setData to these, a step every 0.01 s.
    void setNewData(const Fractions& shares);
    // One step of the animation.
    void animate();

    const Fractions& dataSource() const { return dataSource_; }
    const Fractions& drawn() const { return drawn_; }
    bool animating() const { return timer_.isActive(); }

signals:
    // An animated update has reached its shares.
    void animateEnd();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Fractions dataSource_{};
    Fractions oldDataSource_{};
    Fractions drawn_{};
    QTimer timer_;
};

} // namespace tessaly
