#include "app/settings/CookiesViewController.h"

#include "app/settings/SettingsWindowController.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/UserDefaults.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

std::vector<std::string> selectedNames(QListWidget* list) {
    std::vector<std::string> names;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            names.push_back(list->item(row)->text().toStdString());
    return names;
}

QListWidget* nameList(const char* objectName, const char* accessible, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setAccessibleName(accessible);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(false);
    return list;
}

} // namespace

CookiesViewController::CookiesViewController(SettingModel& settings,
                                             const std::vector<std::string>& allCookie,
                                             QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName("CookiesPane");
    const std::vector<std::string> kept = settings_.keepCookiesRecord();
    for (const std::string& name : allCookie)
        if (!contains(kept, name) && !contains(cookie_, name))
            cookie_.push_back(name);

    deleteList_ = nameList("CookiesToDelete", "Cookie to Delete", this);
    keepList_ = nameList("CookiesToKeep", "Cookie to Keep", this);
    left_ = new QPushButton("Keep →", this);
    left_->setObjectName("KeepCookies");
    left_->setAccessibleName("Keep the selected cookies");
    right_ = new QPushButton("← Delete", this);
    right_->setObjectName("DeleteCookies");
    right_->setAccessibleName("Delete the selected cookies");
    connect(left_, &QPushButton::clicked, this, &CookiesViewController::onLeft);
    connect(right_, &QPushButton::clicked, this, &CookiesViewController::onRight);
    connect(deleteList_, &QListWidget::itemSelectionChanged, this,
            [this] { left_->setEnabled(!deleteList_->selectedItems().isEmpty()); });
    connect(keepList_, &QListWidget::itemSelectionChanged, this,
            [this] { right_->setEnabled(!keepList_->selectedItems().isEmpty()); });

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(left_);
    moves->addWidget(right_);
    moves->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(28, 20, 28, 20);
    grid->addWidget(new QLabel("Select the cookies you want to keep:", this), 0, 0, 1, 3);
    grid->addWidget(new QLabel("Cookie to Delete", this), 1, 0);
    grid->addWidget(new QLabel("Cookie to Keep", this), 1, 2);
    grid->addWidget(deleteList_, 2, 0);
    grid->addLayout(moves, 2, 1);
    grid->addWidget(keepList_, 2, 2);
    grid->setRowStretch(2, 1);
    reload();
}

void CookiesViewController::reload() {
    deleteList_->clear();
    keepList_->clear();
    for (const std::string& name : cookie_)
        deleteList_->addItem(QString::fromStdString(name));
    for (const std::string& name : settings_.keepCookiesRecord())
        keepList_->addItem(QString::fromStdString(name));
    left_->setEnabled(false);
    right_->setEnabled(false);
}

void CookiesViewController::store() {
    settingStored(
        this, settings_.defaults().setStringArray(keys::KeepCookie, settings_.keepCookiesRecord()));
}

void CookiesViewController::onLeft() {
    const std::vector<std::string> chosen = selectedNames(deleteList_);
    if (chosen.empty())
        return;
    {
        std::lock_guard<std::recursive_mutex> guard(settings_.lock());
        std::vector<std::string> kept = settings_.keepCookiesRecord();
        for (const std::string& name : chosen)
            if (!contains(kept, name))
                kept.push_back(name);
        settings_.setKeepCookies(kept);
    }
    std::erase_if(cookie_, [&](const std::string& name) { return contains(chosen, name); });
    reload();
    store();
}

void CookiesViewController::onRight() {
    const std::vector<std::string> chosen = selectedNames(keepList_);
    if (chosen.empty())
        return;
    for (const std::string& name : chosen)
        if (!contains(cookie_, name))
            cookie_.push_back(name);
    {
        std::lock_guard<std::recursive_mutex> guard(settings_.lock());
        std::vector<std::string> kept = settings_.keepCookiesRecord();
        std::erase_if(kept, [&](const std::string& name) { return contains(chosen, name); });
        settings_.setKeepCookies(kept);
    }
    reload();
    store();
}

} // namespace tessaly
