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

std::vector<std::string> unpackedNames(const std::string& path) {
    std::vector<std::string> out;
    std::string name = baseName(path);
    if (name.empty())
        return out;
    out.push_back(name);
    // A compressed tar unpacks to its tar, and that to a folder of the plain name.
    if (extensionIs(name, "tar") && !baseName(name).empty())
        out.push_back(baseName(name));
    return out;
}

bool checkArchiver(const std::string& path, const std::vector<std::string>& names) {
    // Every unpacked name lacks an extension the archive's own name has, so the
    // archive itself never counts as what it was unpacked to.
    const std::vector<std::string> unpacked = unpackedNames(path);
    return std::any_of(names.begin(), names.end(), [&unpacked](const std::string& n) {
        return std::any_of(unpacked.begin(), unpacked.end(),
                           [&n](const std::string& u) { return text::equalsIgnoringCase(n, u); });
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
