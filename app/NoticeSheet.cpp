#include "app/NoticeSheet.h"

#include "app/Artwork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

NoticeSheet::NoticeSheet(const QString& title, const QString& text, QWidget* parent,
                         const QString& confirm)
    : QDialog(parent, Qt::Sheet | Qt::FramelessWindowHint) {
    setObjectName("NoticeSheet");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(title);
    setFixedSize(420, 153);

    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::pixmap("iconWarning", 48));
    icon->setAlignment(Qt::AlignTop);
    title_ = new QLabel(title, this);
    title_->setObjectName("NoticeTitle");
    text_ = new QLabel(text, this);
    text_->setObjectName("NoticeText");
    text_->setWordWrap(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("NoticeCancel");
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    if (!confirm.isEmpty()) {
        confirm_ = new QPushButton(confirm, this);
        confirm_->setObjectName("PrimaryButton");
        connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    }

    auto* texts = new QVBoxLayout;
    texts->addWidget(title_);
    texts->addWidget(text_, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    if (confirm_)
        buttons->addWidget(confirm_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    cancel_->setFocus();
}

QString NoticeSheet::title() const {
    return title_->text();
}

QString NoticeSheet::text() const {
    return text_->text();
}

void NoticeSheet::centreOnWindow(QWidget* sheet) {
    if (QWidget* host = sheet->parentWidget()) {
        QWidget* w = host->window();
        sheet->move(w->mapToGlobal(
            QPoint((w->width() - sheet->width()) / 2, (w->height() - sheet->height()) / 2)));
    }
}

void NoticeSheet::showEvent(QShowEvent* event) {
    centreOnWindow(this);
    QDialog::showEvent(event);
}

} // namespace tessaly
