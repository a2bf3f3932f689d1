#pragma once

#include "model/Problem.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace tessaly {

// One line under a report that says what a scan could not read or what a clean
// left in place ("2 items were left in place."), with a button that lists every
// path and its reason. Hidden while there is nothing to say.
class ProblemsNote : public QWidget {
    Q_OBJECT
public:
    explicit ProblemsNote(QWidget* parent = nullptr);

    // summary: the line shown; problems: what the list shows. Empty hides the note.
    void setProblems(const QString& summary, const ProblemList& problems);
    void clear() { setProblems({}, {}); }

    QString summary() const;
    const ProblemList& problems() const { return problems_; }
    // The list as the dialog shows it, one "path: reason" line each.
    QString listText() const;

private:
    void showList();

    QLabel* text_;
    QPushButton* show_;
    ProblemList problems_;
};

// The line for problems met by a scan ("3 places could not be read.").
QString scanProblemsSummary(const ProblemList& problems);

} // namespace tessaly
