#include "app/common/RunConfirmation.h"

#include "app/Artwork.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

QString RunConfirmation::question(const QString& verb, std::int64_t count, std::int64_t bytes) {
    QString what = count == 1 ? QString("1 item") : QString("%1 items").arg(count);
    if (bytes > 0)
        what += ", " + QString::fromStdString(CommonFunction::getSizeString(bytes));
    return QString("%1 %2? This cannot be undone.").arg(verb, what);
}

RunConfirmation::RunConfirmation(const QString& verb, std::int64_t count, std::int64_t bytes,
                                 QWidget* parent)
    : QDialog(parent) {
    setObjectName("RunConfirmation");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(verb);

    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::pixmap("iconWarning", 48));
    icon->setAlignment(Qt::AlignTop);
    text_ = new QLabel(question(verb, count, bytes), this);
    text_->setObjectName("NoticeTitle");
    text_->setWordWrap(true);
    stopAsking_ = new QCheckBox("Do not ask again", this);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("SecondaryButton");
    cancel_->setDefault(true);
    confirm_ = new QPushButton(verb, this);
    confirm_->setObjectName("PrimaryButton");
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(text_);
    texts->addWidget(stopAsking_);
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(confirm_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(14);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    cancel_->setFocus();
}

QString RunConfirmation::text() const {
    return text_->text();
}

void RunConfirmation::accept() {
    if (stopAsking_->isChecked())
        setAskBeforeCleaning(UserDefaults::standardUserDefaults(), false);
    QDialog::accept();
}

} // namespace tessaly
