#include "app/common/ProblemsNote.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

ProblemsNote::ProblemsNote(QWidget* parent) : QWidget(parent) {
    setObjectName("ProblemsNote");
    text_ = new QLabel(this);
    text_->setObjectName("ProblemsText");
    text_->setWordWrap(true);
    show_ = new QPushButton("Show Details...", this);
    show_->setObjectName("ProblemsButton");
    show_->setAccessibleName("Show what could not be done");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_, 1);
    layout->addWidget(show_);
    connect(show_, &QPushButton::clicked, this, &ProblemsNote::showList);
    hide();
}

void ProblemsNote::setProblems(const QString& summary, const ProblemList& problems) {
    problems_ = problems;
    text_->setText(summary);
    show_->setVisible(!problems.empty());
    setVisible(!summary.isEmpty());
}

QString ProblemsNote::summary() const {
    return text_->text();
}

QString ProblemsNote::listText() const {
    QStringList lines;
    for (const Problem& p : problems_)
        lines << QString::fromStdString(p.path) + ": " + QString::fromStdString(p.reason);
    return lines.join('\n');
}

void ProblemsNote::showList() {
    QDialog dialog(window());
    dialog.setWindowTitle("Details");
    auto* list = new QPlainTextEdit(listText(), &dialog);
    list->setReadOnly(true);
    list->setAccessibleName("Paths and reasons");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(summary(), &dialog));
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    dialog.resize(640, 320);
    dialog.exec();
}

QString scanProblemsSummary(const ProblemList& problems) {
    if (problems.empty())
        return {};
    return problems.size() == 1
               ? QString("1 place could not be read completely.")
               : QString("%1 places could not be read completely.").arg(problems.size());
}

} // namespace tessaly
