#pragma once

#include "model/ModuleData.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace tessaly {

class ProblemsNote;
class ShareChart;

// The report every tool shows after a scan or a clean: a ring of shares, three
// headline lines, a big total, up to N rows of name and value, a note when the
// run was stopped, and what could not be read or was left. The completion variant
// shows one message in place of the chart and rows ("No selected file can be
// remove", or a cleanup summary line).
class ReportPanel : public QWidget {
    Q_OBJECT
public:
    explicit ReportPanel(QWidget* parent = nullptr);

    // Keeps the lines of non-zero size in the order given; when maxRows or more
    // remain, the first maxRows - 1 keep their names and the last row, named
    // otherName, sums the rest. Every line's b becomes its share of the total.
    static std::vector<ModuleReport> foldRows(const std::vector<ModuleReport>& lines, int maxRows,
                                              const QString& otherName = "Other");

    void setTitle(const QString& title);
    // The three headline lines; an empty text hides its line.
    void setHeadlines(const QString& first, const QString& second, const QString& third);
    void setTotal(const QString& total);
    // Shows the chart and the rows of foldRows(lines, maxRows); each row reads its
    // name and its size as a size text.
    void setRows(const std::vector<ModuleReport>& lines, int maxRows = 5);
    // Shows lines a tool has already folded and shared out, as they are (their own
    // b); a line without size reads its file count.
    void setPreparedRows(const std::vector<ModuleReport>& lines);
    // A row that reads as a text of its own ("3 Items", "1 m2 s"); share is its
    // part of the chart (0 for a row that is no part of it).
    struct TextRow {
        QString name;
        QString value;
        float share = 0.0f;
    };
    void setTextRows(const std::vector<TextRow>& rows);
    // The completion variant: the chart and rows give way to the message.
    void showMessage(const QString& message);
    // A line that stands out (a run that was stopped); empty hides it.
    void setNote(const QString& note);

    // The note under the report: what could not be read or what was left in place.
    ProblemsNote* problemsNote() const { return problems_; }

    QString title() const;
    QStringList headlines() const;
    QString total() const;
    QString message() const;
    QString note() const;
    bool showsMessage() const;
    QStringList rowNames() const;
    QStringList rowValues() const;
    const ShareChart* chart() const { return chart_; }

private:
    void showRows(const std::vector<ModuleReport>& rows);
    void showTextRows(const std::vector<TextRow>& rows, bool everyDot);

    QLabel* title_;
    QLabel* headline_[3];
    QLabel* total_;
    QLabel* message_;
    QLabel* note_;
    ProblemsNote* problems_;
    ShareChart* chart_;
    QWidget* rowsBox_;
    QVBoxLayout* rowsLayout_;
    QStringList names_;
    QStringList values_;
};

} // namespace tessaly
