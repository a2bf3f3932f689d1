#include "app/AliasRepairSheet.h"

#include "app/common/FileOrFolderDialog.h"
#include "app/common/ItemIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

AliasRepairSheet::AliasRepairSheet(const AliasObj& alias, const QStringList& candidates,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName("AliasRepairSheet");
    setWindowModality(Qt::WindowModal);
    setWindowTitle("Fix Alias...");

    auto* name = new QLabel(QString::fromStdString(alias.name), this);
    name->setObjectName("NoticeTitle");
    auto* was = new QLabel(this);
    was->setWordWrap(true);
    was->setText(alias.orgPath
                     ? QString("It pointed at %1.").arg(QString::fromStdString(*alias.orgPath))
                     : QString("Its target cannot be read."));
    auto* found = new QLabel("Found under the scanned folders:", this);
    candidates_ = new QListWidget(this);
    candidates_->setAccessibleName("Found under the scanned folders");
    for (const QString& c : candidates)
        new QListWidgetItem(itemIcon(c), c, candidates_);
    if (candidates_->count() > 0)
        candidates_->setCurrentRow(0);

    other_ = new QPushButton("Other...", this);
    other_->setObjectName("SecondaryButton");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("SecondaryButton");
    fix_ = new QPushButton("Fix Alias", this);
    fix_->setObjectName("PrimaryButton");
    fix_->setDefault(true);
    fix_->setEnabled(candidates_->currentItem() != nullptr);
    connect(candidates_, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) { fix_->setEnabled(item != nullptr); });
    connect(candidates_, &QListWidget::itemActivated, this, [this] { fix_->click(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(fix_, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = candidates_->currentItem()) {
            target_ = item->text();
            accept();
        }
    });
    connect(other_, &QPushButton::clicked, this, [this] {
        const QString chosen = panel_ ? panel_(this) : choosePanel(this);
        if (chosen.isEmpty())
            return;
        target_ = chosen;
        accept();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(other_);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(fix_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(10);
    layout->addWidget(name);
    layout->addWidget(was);
    layout->addWidget(found);
    layout->addWidget(candidates_, 1);
    layout->addLayout(buttons);
    setMinimumSize(480, 300);
    candidates_->setFocus();
}

QString AliasRepairSheet::choosePanel(QWidget* parent) {
    const QStringList chosen = chooseFilesOrFolders(parent, "Fix Alias...", false);
    return chosen.isEmpty() ? QString() : chosen.front();
}

QString AliasRepairSheet::choose(const AliasObj& alias, const QStringList& candidates,
                                 QWidget* parent) {
    if (candidates.isEmpty())
        return choosePanel(parent);
    AliasRepairSheet sheet(alias, candidates, parent);
    return sheet.exec() == QDialog::Accepted ? sheet.target() : QString();
}

} // namespace tessaly
