#include "platform/FileKinds.h"

#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tessaly::fileattr {

namespace {

using text::equalsIgnoringCase;

std::string_view extensionOf(std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return name.substr(dot + 1);
}

} // namespace

bool isPackageName(std::string_view name) {
    static constexpr std::array<std::string_view, 30> kinds = {
        "app",
        "appex",
        "bundle",
        "component",
        "docktileplugin",
        "framework",
        "kext",
        "mdimporter",
        "mpkg",
        "pkg",
        "plugin",
        "prefPane",
        "qlgenerator",
        "saver",
        "wdgt",
        "xpc",
        "rtfd",
        "photoslibrary",
        "photolibrary",
        "aplibrary",
        "migratedphotolibrary",
        "theme",
        "platform",
        "pages",
        "numbers",
        "key",
        "sparsebundle",
        "xcodeproj",
        "xcworkspace",
        "playground",
    };
    std::string_view ext = extensionOf(name);
    if (ext.empty())
        return false;
    return std::any_of(kinds.begin(), kinds.end(),
                       [ext](std::string_view k) { return equalsIgnoringCase(ext, k); });
}

std::string displayName(const std::string& path) {
    std::string name = paths::lastComponent(path);
    if (equalsIgnoringCase(extensionOf(name), "app"))
        name.resize(name.size() - 4);
    return name;
}

} // namespace tessaly::fileattr
