#include "app/settings/ScanSettingViewController.h"

#include "ScanCode/system/SystemModules.h"
#include "app/NoticeSheet.h"
#include "app/common/ItemIcon.h"
#include "app/settings/SettingsWindowController.h"
#include "platform/UserDefaults.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

constexpr int kModuleRole = Qt::UserRole + 1;

} // namespace

ScanSettingViewController::ScanSettingViewController(QWidget* parent) : QWidget(parent) {
    setObjectName("ScanningPane");
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    list_ = new QListWidget(this);
    list_->setObjectName("ScanModules");
    list_->setAccessibleName("Modules to scan");
    list_->setIconSize(QSize(24, 24));
    for (int module = 0; module <= sysmodule::LastSelectable; ++module) {
        auto* item = new QListWidgetItem(QString::fromStdString(moduleName(module)));
        item->setIcon(itemIcon(QString::fromStdString(moduleSetImage(module))));
        item->setData(kModuleRole, module);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(moduleSwitchedOn(defaults, module) ? Qt::Checked : Qt::Unchecked);
        list_->addItem(item);
    }
    connect(list_, &QListWidget::itemChanged, this, &ScanSettingViewController::onCheck);

    auto* title = new QLabel("System Cleanup:", this);
    title->setObjectName("SettingHeading");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->addWidget(title);
    layout->addWidget(new QLabel("Only the following items will be scanned", this));
    layout->addWidget(list_, 1);
}

void ScanSettingViewController::onCheck(QListWidgetItem* item) {
    if (updating_ || !item)
        return;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const int module = item->data(kModuleRole).toInt();
    const bool on = item->checkState() == Qt::Checked;
    if (!on) {
        bool another = false;
        for (int m = 0; m <= sysmodule::LastSelectable; ++m)
            another = another || (m != module && moduleSwitchedOn(defaults, m));
        if (!another) {
            updating_ = true;
            item->setCheckState(Qt::Checked);
            updating_ = false;
            auto* notice =
                new NoticeSheet("Scanning Error", "You must select ont item to scan", window());
            notice->open();
            return;
        }
    }
    if (!settingStored(this, setModuleSwitch(defaults, module, on))) {
        updating_ = true;
        item->setCheckState(moduleSwitchedOn(defaults, module) ? Qt::Checked : Qt::Unchecked);
        updating_ = false;
    }
}

} // namespace tessaly
