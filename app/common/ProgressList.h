#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

class QGridLayout;
class QLabel;
class QProgressBar;

namespace tessaly {

class ElidedLabel;

// The progress list every tool shows while it scans or cleans: a title and a
// line of text, one row per module or category (icon, title, state, a value on
// the right), a progress bar and a line with the path being examined.
//
// The bar follows the share of the work that is done; while the work cannot
// tell (a walk through folders of unknown size), it shows that work goes on
// without a share. It can also creep towards a target over a given time and fill
// to the end. The rows sit in two columns that scroll when they are many.
class ProgressList : public QWidget {
    Q_OBJECT
public:
    enum class State { Waiting, Scanning, Done, Warning };

    explicit ProgressList(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setText(const QString& text);
    QString title() const;
    QString text() const;

    // Rows: icon is an image name of the application's artwork.
    void clearRows();
    int addRow(const QString& icon, const QString& title, State state = State::Waiting);
    void setRowState(int row, State state);
    void setAllRowStates(State state);
    void setRowValue(int row, const QString& value);
    int rowCount() const { return static_cast<int>(rows_.size()); }
    State rowState(int row) const;
    QString rowTitle(int row) const;
    QString rowValue(int row) const;

    // The bar, as a share from 0 to 1.
    double progress() const { return progress_; }
    void setProgress(double share);
    // The bar without a share: it shows only that work goes on (cleared by any share).
    void setBusy(bool busy);
    bool busy() const { return busy_; }
    // Moves the bar to share, never backwards.
    void advanceTo(double share);
    // Moves the bar from where it is towards target over msec milliseconds; it
    // never moves backwards.
    void creepTo(double target, int msec);
    // Fills the bar to the end over msec milliseconds, then emits filled().
    void fill(int msec);

    void setPath(const QString& path);
    QString path() const;

signals:
    void filled();

private:
    struct Row {
        QWidget* widget = nullptr;
        QLabel* icon = nullptr;
        QLabel* title = nullptr;
        QWidget* spinner = nullptr;
        QLabel* mark = nullptr;
        QLabel* value = nullptr;
        State state = State::Waiting;
    };
    void showState(Row& row);
    void step();
    void apply(double share);

    QLabel* title_;
    QLabel* text_;
    QGridLayout* rowsLayout_;
    QProgressBar* bar_;
    ElidedLabel* path_;
    std::vector<Row> rows_;
    QTimer timer_;
    double progress_ = 0;
    double target_ = 0;
    double perTick_ = 0;
    bool filling_ = false;
    bool busy_ = false;
};

} // namespace tessaly
