#include "app/settings/ScanSettingViewController.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/SystemModules.h"
#include "app/NoticeSheet.h"
#include "app/common/ItemIcon.h"
#include "app/settings/SettingsWindowController.h"
#include "model/SettingKeys.h"
#include "platform/UserDefaults.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    for (int module : selectableModules()) {
        if (!layoutHasModule(module))
            continue; // nothing of it on this kind of home
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

    // System Security's signature files of the user's own.
    auto* security = new QLabel("System Security:", this);
    security->setObjectName("SettingHeading");
    layout->addWidget(security);
    auto* row = new QHBoxLayout;
    signatureFolder_ = new QLabel(this);
    signatureFolder_->setObjectName("SignatureFolder");
    signatureFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QPushButton("Choose…", this);
    choose->setAccessibleName("Choose the folder of your own signature files");
    clearSignatures_ = new QPushButton("None", this);
    clearSignatures_->setAccessibleName("Use no signature files of your own");
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, "Folder of signature files (.hsb, .ndb)", signatureFolder_->toolTip());
        if (!folder.isEmpty())
            setSignatureFolder(folder);
    });
    connect(clearSignatures_, &QPushButton::clicked, this, [this] { setSignatureFolder({}); });
    row->addWidget(signatureFolder_, 1);
    row->addWidget(choose);
    row->addWidget(clearSignatures_);
    layout->addLayout(row);
    showSignatureFolder();
}

void ScanSettingViewController::setSignatureFolder(const QString& folder) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const bool stored = folder.isEmpty()
                            ? defaults.removeObjectForKey(keys::signatureFolder)
                            : defaults.setString(keys::signatureFolder, folder.toStdString());
    settingStored(this, stored);
    showSignatureFolder();
}

void ScanSettingViewController::showSignatureFolder() {
    const QString folder = QString::fromStdString(
        UserDefaults::standardUserDefaults().stringForKey(keys::signatureFolder));
    signatureFolder_->setText(folder.isEmpty() ? "Signature files of your own: none"
                                               : "Signature files of your own: " + folder);
    signatureFolder_->setToolTip(folder);
    clearSignatures_->setEnabled(!folder.isEmpty());
}

void ScanSettingViewController::onCheck(QListWidgetItem* item) {
    if (updating_ || !item)
        return;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const int module = item->data(kModuleRole).toInt();
    const bool on = item->checkState() == Qt::Checked;
    if (!on) {
        bool another = false;
        for (int m : selectableModules())
            another =
                another || (m != module && layoutHasModule(m) && moduleSwitchedOn(defaults, m));
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
