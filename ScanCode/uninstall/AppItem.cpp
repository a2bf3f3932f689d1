#include "ScanCode/uninstall/AppItem.h"

#include <algorithm>

namespace tessaly {

AppItem::AppItem(std::string name_, std::string image_, std::string path_, std::string version_,
                 std::string bundleID_, std::string isSystemAppString_, std::int64_t,
                 std::string executableString_)
    : name(std::move(name_)), image(std::move(image_)), path(std::move(path_)),
      version(std::move(version_)), bundleID(std::move(bundleID_)),
      isSystemAppString(std::move(isSystemAppString_)),
      executableString(std::move(executableString_)) {
    // A new item starts unticked and not a system item, whatever it was given.
}

std::int64_t AppItem::checkStatus() const {
    if (!fileDatas)
        return isSelected;
    auto ticked = std::count_if(fileDatas->begin(), fileDatas->end(),
                                [](const SubAppFileRef& item) { return item && item->isCheck; });
    if (ticked == 0)
        return 0;
    if (static_cast<std::size_t>(ticked) == fileDatas->size())
        return 2;
    return 1;
}

void AppItem::setItemEnable(bool enable) {
    if (fileDatas)
        for (const SubAppFileRef& item : *fileDatas)
            if (item)
                item->isCheck = enable && item->keptReason.empty();
    isSelected = enable ? 2 : 0;
}

const char* appKindName(AppKind kind) {
    switch (kind) {
    case AppKind::Bundle:
        return "bundle";
    case AppKind::Package:
        return "package";
    case AppKind::Flatpak:
        return "flatpak";
    case AppKind::Snap:
        return "snap";
    case AppKind::AppImage:
        return "appimage";
    case AppKind::OwnProgram:
        return "own-program";
    case AppKind::NotRemovable:
        break;
    }
    return "not-removable";
}

const char* appKindTitle(AppKind kind) {
    switch (kind) {
    case AppKind::Bundle:
        return "Application";
    case AppKind::Package:
        return "Package";
    case AppKind::Flatpak:
        return "Flatpak";
    case AppKind::Snap:
        return "Snap";
    case AppKind::AppImage:
        return "AppImage";
    case AppKind::OwnProgram:
        return "Own program";
    case AppKind::NotRemovable:
        break;
    }
    return "Not removable";
}

std::optional<std::string> AppItem::companyFromIdentifier(const std::string& bundleID) {
    std::size_t first = bundleID.find('.');
    if (first == std::string::npos)
        return std::nullopt;
    std::size_t second = bundleID.find('.', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return bundleID.substr(first + 1, second - first - 1);
}

} // namespace tessaly
