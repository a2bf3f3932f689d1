#include "ScanCode/old/OldFileRules.h"

#include "model/FileTypes.h"
#include "platform/DebianVersion.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tessaly::oldrules {

namespace {

std::string baseName(const std::string& path) {
    return paths::deletingExtension(paths::lastComponent(path));
}

// Extensions compare as written: a name's case is part of it.
bool extensionIs(const std::string& path, const char* ext) {
    return paths::extension(path) == ext;
}

bool isSeparator(char c) {
    return c == '-' || c == '_' || c == ' ' || c == '.';
}

bool startsVersionOrPlatform(const std::string& rest) {
    if (rest.empty())
        return false;
    if (std::isdigit(static_cast<unsigned char>(rest[0])) ||
        ((rest[0] == 'v' || rest[0] == 'V') && rest.size() > 1 &&
         std::isdigit(static_cast<unsigned char>(rest[1]))))
        return true;
    for (const char* platform : {"linux", "x86_64", "x86-64", "amd64", "x64", "arm64", "aarch64",
                                 "i386", "setup", "installer"})
        if (text::equalsIgnoringCase(rest.substr(0, std::strlen(platform)), platform))
            return true;
    return false;
}

std::string decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
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

std::optional<std::pair<std::string, std::string>> debNameAndVersion(const std::string& path) {
    if (!extensionIs(path, "deb"))
        return std::nullopt;
    const std::string base = baseName(path);
    const auto first = base.find('_');
    if (first == std::string::npos || first == 0)
        return std::nullopt;
    const auto second = base.find('_', first + 1);
    std::string version = decoded(base.substr(
        first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
    if (version.empty() || !std::isdigit(static_cast<unsigned char>(version[0])))
        return std::nullopt;
    return std::make_pair(base.substr(0, first), version);
}

std::string leadingName(const std::string& path) {
    std::string name = paths::lastComponent(path);
    if (paths::extension(name) == "AppImage" || paths::extension(name) == "appimage")
        name = paths::deletingExtension(name);
    else if (isArchiver(path))
        name = unpackedNames(path).back();
    for (std::size_t i = 1; i + 1 < name.size(); ++i)
        if (isSeparator(name[i]) && startsVersionOrPlatform(name.substr(i + 1)))
            return name.substr(0, i);
    return name;
}

std::optional<std::string> tickReason(const std::string& path, const TickContext& context) {
    if (windowData(path))
        return std::string("a Windows program");
    if (isInstallPage(path) && checkInstallPage(path, context.apps))
        return std::string("the installer of an installed application");
    if (auto deb = debNameAndVersion(path)) {
        auto installed = context.packages.find(deb->first);
        if (installed != context.packages.end() &&
            packages::compareVersions(installed->second, deb->second) >= 0)
            return "the package " + deb->first + " is installed at version " + installed->second;
    }
    const bool appImage = text::equalsIgnoringCase(paths::extension(path), "AppImage");
    if ((appImage || isArchiver(path)) && !context.installedNames.empty()) {
        const std::string lead = leadingName(path);
        for (const std::string& installed : context.installedNames)
            if (!lead.empty() && text::equalsIgnoringCase(lead, installed))
                return std::string(appImage ? "an AppImage" : "an archive") + " of " + installed +
                       ", which is installed";
    }
    if (isArchiver(path) && checkArchiver(path, context.allNames))
        return std::string("an archive already unpacked beside it");
    if (isApp(path) && path.rfind(context.applicationsFolder, 0) != 0 &&
        checkInstallPage(path, context.apps))
        return std::string("a copy of an installed application");
    return std::nullopt;
}

bool needCheck(const std::string& path, const TickContext& context) {
    return tickReason(path, context).has_value();
}

} // namespace tessaly::oldrules
