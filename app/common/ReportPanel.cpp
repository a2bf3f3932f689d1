#include "app/common/ReportPanel.h"

#include "app/common/ProblemsNote.h"
#include "app/common/ShareChart.h"
#include "model/CommonFunction.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tessaly {

std::vector<ModuleReport> ReportPanel::foldRows(const std::vector<ModuleReport>& lines, int maxRows,
                                                const QString& otherName) {
    std::vector<ModuleReport> kept;
    for (const auto& l : lines)
        if (l.size > 0)
            kept.push_back(l);
    if (maxRows > 0 && static_cast<int>(kept.size()) >= maxRows) {
        ModuleReport other;
        other.name = otherName.toStdString();
        for (std::size_t i = maxRows - 1; i < kept.size(); ++i) {
            other.size += kept[i].size;
            other.files += kept[i].files;
        }
        kept.resize(maxRows - 1);
        kept.push_back(other);
    }
    std::int64_t total = 0;
    for (const auto& l : kept)
        total += l.size;
    for (auto& l : kept)
        l.b = total > 0 ? static_cast<float>(static_cast<double>(l.size) / total) : 0.0f;
    return kept;
}

ReportPanel::ReportPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("ReportPanel");
    title_ = new QLabel(this);
    title_->setObjectName("ScreenTitle");
    for (auto*& h : headline_) {
        h = new QLabel(this);
        h->setObjectName("Headline");
        h->setWordWrap(true);
    }
    headline_[0]->setObjectName("ReportCaption");
    total_ = new QLabel(this);
    total_->setObjectName("ReportTotal");
    message_ = new QLabel(this);
    message_->setObjectName("Summary");
    message_->setWordWrap(true);
    message_->hide();
    note_ = new QLabel(this);
    note_->setObjectName("StoppedNote");
    note_->setWordWrap(true);
    note_->hide();
    problems_ = new ProblemsNote(this);
    chart_ = new ShareChart(this);
    chart_->setFixedSize(170, 170);
    rowsBox_ = new QWidget(this);
    rowsLayout_ = new QVBoxLayout(rowsBox_);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(6);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(headline_[0]);
    texts->addWidget(total_);
    texts->addWidget(headline_[1]);
    texts->addWidget(headline_[2]);
    texts->addWidget(message_);
    texts->addWidget(note_);
    texts->addWidget(problems_);
    texts->addWidget(rowsBox_);
    texts->addStretch(1);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(24);
    middle->addWidget(chart_, 0, Qt::AlignTop);
    middle->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 16, 28, 12);
    layout->setSpacing(12);
    layout->addWidget(title_);
    layout->addLayout(middle, 1);
}

void ReportPanel::setTitle(const QString& title) {
    title_->setText(title);
}

void ReportPanel::setHeadlines(const QString& first, const QString& second, const QString& third) {
    const QString texts[] = {first, second, third};
    for (int i = 0; i < 3; ++i) {
        headline_[i]->setText(texts[i]);
        headline_[i]->setVisible(!texts[i].isEmpty());
    }
}

void ReportPanel::setTotal(const QString& total) {
    total_->setText(total);
    total_->setVisible(!total.isEmpty());
}

void ReportPanel::setRows(const std::vector<ModuleReport>& lines, int maxRows) {
    showRows(foldRows(lines, maxRows));
}

void ReportPanel::setPreparedRows(const std::vector<ModuleReport>& lines) {
    showRows(lines);
}

void ReportPanel::showRows(const std::vector<ModuleReport>& rows) {
    std::vector<TextRow> texts;
    for (const auto& r : rows)
        texts.push_back({QString::fromStdString(r.name),
                         r.size > 0 || r.files == 0
                             ? QString::fromStdString(CommonFunction::getSizeString(r.size))
                             : QString("%1 Files").arg(r.files),
                         r.b});
    showTextRows(texts, true);
}

void ReportPanel::setTextRows(const std::vector<TextRow>& rows) {
    showTextRows(rows, false);
}

void ReportPanel::showTextRows(const std::vector<TextRow>& rows, bool everyDot) {
    while (QLayoutItem* item = rowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    names_.clear();
    values_.clear();
    std::vector<ModuleReport> shares;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        auto* row = new QWidget(rowsBox_);
        auto* dot = new QLabel(row);
        dot->setFixedSize(10, 10);
        // A row that is no part of the chart keeps the dot's room without its colour.
        if (everyDot || r.share > 0)
            dot->setStyleSheet(
                QString("background:%1;border-radius:5px;").arg(ShareChart::colorAt(i).name()));
        auto* name = new QLabel(r.name, row);
        auto* value = new QLabel(r.value, row);
        value->setObjectName("ReportRowValue");
        auto* l = new QHBoxLayout(row);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(dot);
        l->addWidget(name, 1);
        l->addWidget(value);
        rowsLayout_->addWidget(row);
        names_ << r.name;
        values_ << r.value;
        shares.push_back({r.name.toStdString(), 0, 0, r.share});
    }
    chart_->setLines(shares);
    chart_->setVisible(!rows.empty());
    rowsBox_->show();
    message_->hide();
}

void ReportPanel::showMessage(const QString& message) {
    message_->setText(message);
    message_->show();
    rowsBox_->hide();
    chart_->setLines({});
    chart_->hide(); // the message takes the chart's place
}

void ReportPanel::setNote(const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
}

QString ReportPanel::note() const {
    return note_->isHidden() ? QString() : note_->text();
}

QString ReportPanel::title() const {
    return title_->text();
}

QStringList ReportPanel::headlines() const {
    return {headline_[0]->text(), headline_[1]->text(), headline_[2]->text()};
}

QString ReportPanel::total() const {
    return total_->text();
}

QString ReportPanel::message() const {
    return message_->isHidden() ? QString() : message_->text();
}

bool ReportPanel::showsMessage() const {
    return !message_->isHidden();
}

QStringList ReportPanel::rowNames() const {
    return names_;
}

QStringList ReportPanel::rowValues() const {
    return values_;
}

} // namespace tessaly
