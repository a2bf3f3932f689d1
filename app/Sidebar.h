#pragma once

#include <QAbstractButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

class QLabel;

namespace tessaly {

// One sidebar row, a button named after its tool: image, title, on the right a
// spinner while the tool works or then a done mark, and under the title the
// tool's result. Of the rows, only the selected one is a Tab stop; the arrow keys
// move on from it (see SidebarView) and Return or Space open the focused row.
class SidebarRow : public QAbstractButton {
    Q_OBJECT
public:
    SidebarRow(int row, std::int64_t toolIndex, QWidget* parent);

    int row() const { return row_; }
    QString title() const { return text(); }
    bool isSelected() const { return selected_; }
    bool spinnerVisible() const { return spinning_; }
    bool doneMarkVisible() const { return done_; }
    QString label() const { return labelVisible_ ? label_ : QString(); }
    // Whether the title is shown whole (the row is wide enough for it).
    bool titleFits() const;

    void setSelected(bool selected);
    void startSpinner(); // spinner on, label hidden
    void showDone();     // spinner off, done mark
    void showLabel(const QString& text);
    void resetMarks(); // label, mark and spinner hidden

signals:
    void activated(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int row_;
    QString normalImage_;
    QString selectedImage_;
    bool selected_ = false;
    bool hover_ = false;
    bool spinning_ = false;
    bool done_ = false;
    bool labelVisible_ = false;
    QString label_;
    int angle_ = 0;
    QTimer spin_;
};

// The fixed list of ten rows on the left of the main window, as wide as its
// longest title needs.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    explicit SidebarView(QWidget* parent);

    SidebarRow* row(std::int64_t row) const;
    int selectedRow() const { return selected_; }
    // Draws `row` selected and the previous one normal; no signal.
    void setSelectedRow(int row);
    // The all-time cleaned total shown under the rows.
    void setCleanTotal(const QString& text);
    QString cleanTotalText() const;

signals:
    // A click on a row, or the arrow keys (the shell decides what happens).
    void rowClicked(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<SidebarRow*, 10> rows_{};
    QLabel* total_ = nullptr;
    int selected_ = -1;
};

} // namespace tessaly
