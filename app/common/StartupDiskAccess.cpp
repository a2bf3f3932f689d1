#include "app/common/StartupDiskAccess.h"

#include "app/ToolBaseViewController.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileDialog>

namespace tessaly {

bool startupDiskAccessRequired() {
    return false; // no sandbox: the application reads the start-up disk with the user's rights
}

bool startupDiskAccessGranted() {
    return SettingModel::shareSettingModel().selectFile;
}

QString chooseStartupDisk(QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, QString(), "/", QFileDialog::ShowDirsOnly);
}

StartupDiskGrant grantStartupDiskAccess(const QString& chosen) {
    if (chosen.isEmpty())
        return StartupDiskGrant::Dismissed;
    if (QDir::cleanPath(chosen) != "/")
        return StartupDiskGrant::WrongFolder;
    // The grant is remembered as a bookmark of "/"; here the path itself stands for it.
    const std::string root = "/";
    UserDefaults::standardUserDefaults().setObject(
        keys::searchLocationKey, PlistValue(PlistValue::Data(root.begin(), root.end())));
    SettingModel::shareSettingModel().selectFile = true;
    NotificationCenter::defaultCenter().post(fileSelectNotification);
    return StartupDiskGrant::Granted;
}

bool askForStartupDisk(ToolBaseViewController& screen, const std::function<QString()>& chooser) {
    switch (grantStartupDiskAccess(chooser ? chooser() : chooseStartupDisk(&screen))) {
    case StartupDiskGrant::Dismissed:
        return false;
    case StartupDiskGrant::WrongFolder:
        screen.showAlert(QString::fromStdString(forLayout("Please Select Macintosh HD")), "Notice");
        return false;
    case StartupDiskGrant::Granted:
        return true;
    }
    return false;
}

} // namespace tessaly
