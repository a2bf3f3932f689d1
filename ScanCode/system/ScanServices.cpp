#include "ScanCode/system/ScanServices.h"

#include "model/CommonFunction.h"

namespace tessaly {

ScanServices ScanServices::system() {
    ScanServices services;
    services.keepLanguages = [] { return SettingModel::shareSettingModel().keepLanuage(); };
    services.languageInfo = [](const std::string& code) {
        return SettingModel::shareSettingModel().languageInfo(code);
    };
    services.isRetina = [] { return SettingModel::shareSettingModel().isRetina.load(); };
    services.keptPaths = [] { return KeptPaths::current(); };
    services.machineArchitecture = [] { return CommonFunction::PCArchitecture(); };
    return services;
}

} // namespace tessaly
