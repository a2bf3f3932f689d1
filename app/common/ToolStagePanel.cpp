#include "app/common/ToolStagePanel.h"

#include "app/Artwork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

ToolStagePanel::ToolStagePanel(QWidget* parent) : QWidget(parent) {
    setObjectName("ToolStagePanel");
    badge_ = new QLabel(this);
    badge_->setFixedSize(72, 72);
    badge_->hide();
    title_ = new QLabel(this);
    title_->setObjectName("ScreenTitle");
    description_ = new QLabel(this);
    description_->setObjectName("Headline");
    description_->setWordWrap(true);
    prompt_ = new QLabel(this);
    prompt_->setObjectName("StagePrompt");
    prompt_->setTextFormat(Qt::RichText);
    scan_ = new QPushButton("Scan", this);
    scan_->setObjectName("ScanButton");
    scan_->setFixedSize(96, 96);
    scan_->setCursor(Qt::PointingHandCursor);
    connect(scan_, &QPushButton::clicked, this, &ToolStagePanel::scanClicked);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(title_);
    texts->addWidget(description_);
    texts->addWidget(prompt_);
    accessoryLayout_ = new QVBoxLayout;
    accessoryLayout_->setContentsMargins(0, 6, 0, 0);
    // Without a tool widget the spare height stays below the texts; a tool widget
    // (stretch 1) takes it all.
    accessoryLayout_->addStretch(0);
    texts->addLayout(accessoryLayout_, 1);

    auto* row = new QHBoxLayout;
    row->setSpacing(18);
    row->addWidget(badge_, 0, Qt::AlignTop);
    row->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 16);
    layout->setSpacing(12);
    layout->addLayout(row, 1);
    layout->addWidget(scan_, 0, Qt::AlignHCenter);
}

void ToolStagePanel::setBadge(const QString& imageName) {
    badge_->setPixmap(artwork::pixmap(imageName, 72));
    badge_->setVisible(!imageName.isEmpty());
}

void ToolStagePanel::setTitle(const QString& title) {
    title_->setText(title);
}

void ToolStagePanel::setDescription(const QString& text) {
    description_->setText(text);
}

void ToolStagePanel::setPrompt(const std::vector<PromptPart>& parts) {
    parts_ = parts;
    QStringList html;
    for (const auto& p : parts) {
        QString piece = p.text.toHtmlEscaped();
        html << (p.emphasis ? "<b>" + piece + "</b>" : piece);
    }
    prompt_->setText(html.join(' '));
}

void ToolStagePanel::setScanText(const QString& text) {
    scan_->setText(text);
}

void ToolStagePanel::setAccessory(QWidget* widget) {
    if (accessory_)
        accessory_->deleteLater();
    accessory_ = widget;
    if (widget)
        accessoryLayout_->insertWidget(0, widget, 1);
}

QString ToolStagePanel::title() const {
    return title_->text();
}

QString ToolStagePanel::description() const {
    return description_->text();
}

QString ToolStagePanel::promptText() const {
    QStringList plain;
    for (const auto& p : parts_)
        plain << p.text;
    return plain.join(' ');
}

} // namespace tessaly
