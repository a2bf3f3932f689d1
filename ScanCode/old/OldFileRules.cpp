#include "ScanCode/old/OldFileRules.h"

#include "model/FileTypes.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tessaly::oldrules {

namespace {

std::string baseName(const std::string& path) {
    return paths::deletingExtension(paths::lastComponent(path));
}

bool extensionIs(const std::string& path, const char* ext) {
    return text::equalsIgnoringCase(paths::extension(path), ext);
}

} // namespace

bool windowData(const std::string& path) {
    return extensionIs(path, "exe");
}

bool isInstallPage(const std::string& path) {
    return filetype::conformsTo(filetype::typeOf(path), "public.disk-image") ||
           extensionIs(path, "pkg");
}

bool isArchiver(const std::string& path) {
    return filetype::conformsTo(filetype::typeOf(path), "public.archive") &&
           !extensionIs(path, "dmg");
}

bool isApp(const std::string& path) {
    return extensionIs(path, "app");
}

bool checkInstallPage(const std::string& path, const std::vector<std::string>& apps) {
    const std::string base = baseName(path);
    return std::any_of(apps.begin(), apps.end(), [&base](const std::string& app) {
        return !app.empty() && text::containsIgnoringCase(base, app);
    });
}

bool checkArchiver(const std::string& path, const std::vector<std::string>& names) {
    const std::string base = baseName(path);
    return !base.empty() && std::any_of(names.begin(), names.end(), [&base](const std::string& n) {
        return text::containsIgnoringCase(n, base);
    });
}

bool customHidden(const std::string& path) {
    const std::string name = paths::lastComponent(path);
    return !name.empty() && name[0] == '.';
}

bool needCheck(const std::string& path, const TickContext& context) {
    return windowData(path) || (isInstallPage(path) && checkInstallPage(path, context.apps)) ||
           (isArchiver(path) && checkArchiver(path, context.allNames)) ||
           (isApp(path) && path.rfind(context.applicationsFolder, 0) != 0 &&
            checkInstallPage(path, context.apps));
}

} // namespace tessaly::oldrules
