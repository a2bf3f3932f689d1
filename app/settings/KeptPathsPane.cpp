#include "app/settings/KeptPathsPane.h"

#include "app/settings/SettingsWindowController.h"
#include "model/KeptPaths.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

KeptPathsPane::KeptPathsPane(QWidget* parent) : QWidget(parent) {
    setObjectName("KeptPathsPane");
    list_ = new QListWidget(this);
    list_->setObjectName("KeptPaths");
    list_->setAccessibleName("Kept paths");
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* add = new QPushButton("Add…", this);
    add->setAccessibleName("Add a folder to keep");
    remove_ = new QPushButton("Remove", this);
    remove_->setObjectName("RemoveKeptPath");
    remove_->setAccessibleName("Stop keeping the selected paths");
    remove_->setEnabled(false);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { remove_->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(add, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, "Folder to keep", QString::fromStdString(paths::homePath()));
        if (!folder.isEmpty())
            addPath(folder);
    });
    connect(remove_, &QPushButton::clicked, this, [this] { removeSelected(); });

    auto* title = new QLabel("Kept Paths:", this);
    title->setObjectName("SettingHeading");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->addWidget(title);
    auto* text = new QLabel("No tool lists these folders and files, nor what lies in them:", this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(add);
    row->addWidget(remove_);
    layout->addLayout(row);
    reload();
}

void KeptPathsPane::reload() {
    list_->clear();
    for (const std::string& path : keptpaths::stored(UserDefaults::standardUserDefaults()))
        list_->addItem(QString::fromStdString(path));
    remove_->setEnabled(false);
}

bool KeptPathsPane::store(const std::vector<std::string>& list) {
    const bool stored =
        settingStored(this, keptpaths::store(UserDefaults::standardUserDefaults(), list));
    reload();
    return stored;
}

bool KeptPathsPane::addPath(const QString& path) {
    std::vector<std::string> list = keptpaths::stored(UserDefaults::standardUserDefaults());
    const std::string added = keptpaths::normalised(path.toStdString());
    if (added.empty() || std::find(list.begin(), list.end(), added) != list.end())
        return true;
    list.push_back(added);
    return store(list);
}

bool KeptPathsPane::removeSelected() {
    std::vector<std::string> list = keptpaths::stored(UserDefaults::standardUserDefaults());
    for (const QListWidgetItem* item : list_->selectedItems())
        list.erase(std::remove(list.begin(), list.end(), item->text().toStdString()), list.end());
    return store(list);
}

} // namespace tessaly
