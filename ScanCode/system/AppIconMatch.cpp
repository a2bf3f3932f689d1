#include "ScanCode/system/AppIconMatch.h"

#include "ScanCode/system/SystemModules.h"
#include "platform/FileKinds.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cctype>

namespace tessaly {

namespace {

using text::containsIgnoringCase;

} // namespace

AppItemRef applicationForEntry(const std::string& entryName, const AppItemList& applications) {
    auto dot = entryName.rfind('.');
    std::string ext = dot == std::string::npos ? entryName : entryName.substr(dot + 1);
    AppItemRef candidate;
    for (const AppItemRef& app : applications) {
        if (!app)
            continue;
        std::string bundleFile = paths::lastComponent(app->path);
        if ((!ext.empty() && (bundleFile == ext || app->executableString == ext)) ||
            (!app->bundleID.empty() && app->bundleID == entryName))
            return app;
        std::string bundleName = paths::deletingExtension(bundleFile);
        if (containsIgnoringCase(entryName, bundleName) ||
            containsIgnoringCase(entryName, app->executableString))
            candidate = app;
    }
    return candidate;
}

std::string scanItemIcon(int module, const std::string& path, const std::string& name,
                         const AppItemList& applications) {
    bool cacheOrLog = module == sysmodule::SystemLog || module == sysmodule::SystemCache ||
                      module == sysmodule::UserCache || module == sysmodule::UserLog;
    if (cacheOrLog && !fileattr::isPackageName(name))
        if (AppItemRef app = applicationForEntry(name, applications))
            return app->image.empty() ? app->path : app->image;
    return path;
}

} // namespace tessaly
