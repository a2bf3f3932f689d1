#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

class QLabel;

namespace tessaly {

// One sidebar row: image, title and, on the right, a spinner while the tool
// works, then a done mark or a result label.
class SidebarRow : public QWidget {
    Q_OBJECT
public:
    SidebarRow(int row, std::int64_t toolIndex, QWidget* parent);

    int row() const { return row_; }
    QString title() const { return title_; }
    bool isSelected() const { return selected_; }
    bool spinnerVisible() const { return spinning_; }
    bool doneMarkVisible() const { return done_; }
    QString label() const { return labelVisible_ ? label_ : QString(); }

    void setSelected(bool selected);
    void startSpinner(); // spinner on, label hidden
    void showDone();     // spinner off, done mark
    void showLabel(const QString& text);
    void resetMarks(); // label, mark and spinner hidden

signals:
    void clicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int row_;
    QString title_;
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

// The fixed list of ten rows on the left of the main window.
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
