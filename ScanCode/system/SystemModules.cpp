#include "ScanCode/system/SystemModules.h"

#include "platform/UserDefaults.h"

#include <array>

namespace tessaly {

namespace {

struct ModuleEntry {
    const char* name;
    const char* image; // null: the display name is the icon name in every family
};

const std::array<ModuleEntry, sysmodule::Count>& catalogue() {
    static const std::array<ModuleEntry, sysmodule::Count> table{{
        {"IOS Software Updates", "ios-software-update-icon"},
        {"IOS Photo Cache", "iosphoto-cache-icon"},
        {"Broken LoginItems", "broken-login-icon"},
        {"System Log", "system-log-icon"},
        {"System Cache", "system-cache-icon"},
        {"User Cache", "user-cache-icon"},
        {"User Log", "user-log-icon"},
        {"iPhoto Cache", "iphoto-icon"},
        {"Trash", "trash-icon"},
        {"Mail Attachments", "mail-icon"},
        {"Binary", "binary-icon"},
        {"App Leftover", "broken-preference-icon"},
        {"Language", "language1-icon"},
        {"Useless App Images", "app-image-icon"},
        {"Bad Alias", nullptr},
        {"Broken Preferences", "broken-preference-icon"},
        {"User Downloads", nullptr},
        {"Cookie", nullptr},
        {"History", nullptr},
        {"Session", nullptr},
        {"Internet Cache", nullptr},
        {"Recent Documents", "recent-documents-icon"},
        {"Shell History", "shell-history-icon"},
    }};
    return table;
}

bool known(std::int64_t module) {
    return module >= 0 && module < sysmodule::Count;
}

bool namedIcon(std::int64_t module) {
    return known(module) && catalogue()[static_cast<std::size_t>(module)].image == nullptr;
}

} // namespace

std::string moduleName(std::int64_t module) {
    return known(module) ? catalogue()[static_cast<std::size_t>(module)].name : "Other";
}

std::string moduleImage(std::int64_t module) {
    if (!known(module))
        return "system-cache-icon";
    const ModuleEntry& e = catalogue()[static_cast<std::size_t>(module)];
    return e.image ? e.image : e.name;
}

std::string moduleSetImage(std::int64_t module) {
    if (namedIcon(module) || module == sysmodule::MailAttachments)
        return moduleImage(module);
    return moduleImage(module) + "-set";
}

std::string moduleOkImage(std::int64_t module) {
    if (namedIcon(module))
        return moduleImage(module);
    if (module == sysmodule::Language)
        return "language-icon(140)";
    return moduleImage(module) + "(140)";
}

const std::vector<int>& selectableModules() {
    static const std::vector<int> modules = [] {
        std::vector<int> out;
        for (int m = 0; m <= sysmodule::LastSelectable; ++m)
            out.push_back(m);
        out.push_back(sysmodule::RecentDocuments);
        out.push_back(sysmodule::ShellHistory);
        return out;
    }();
    return modules;
}

bool isSelectableModule(int module) {
    return (module >= 0 && module <= sysmodule::LastSelectable) ||
           module == sysmodule::RecentDocuments || module == sysmodule::ShellHistory;
}

bool moduleOnByDefault(int module) {
    return module >= 0 && module <= sysmodule::LastSelectable;
}

int moduleForName(const std::string& name) {
    for (int m = 0; m < sysmodule::Count; ++m)
        if (name == catalogue()[static_cast<std::size_t>(m)].name)
            return m;
    return -1;
}

bool moduleSwitchedOn(const UserDefaults& defaults, int module) {
    if (!isSelectableModule(module))
        return false;
    const std::string key = moduleName(module);
    return defaults.hasKey(key) ? defaults.boolForKey(key) : moduleOnByDefault(module);
}

bool setModuleSwitch(UserDefaults& defaults, int module, bool on) {
    if (!isSelectableModule(module))
        return false;
    return defaults.setBool(moduleName(module), on);
}

} // namespace tessaly
