#pragma once

#include "ScanCode/uninstall/AppKind.h"
#include "ScanCode/uninstall/SubAppFileObj.h"
#include "platform/Date.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// One installed application, plug-in, widget or preference pane. Text fields read
// as empty strings when nothing was stored. The related files of the item hang in
// fileDatas once they were searched for.
class AppItem {
public:
    AppItem() = default;
    AppItem(std::string name, std::string image, std::string path, std::string version,
            std::string bundleID, std::string isSystemAppString, std::int64_t isSelected,
            std::string executableString);

    std::string name;
    std::string image; // icon reference: an icon file or the bundle's path
    std::string path;
    std::string version;
    std::string bundleID;
    bool isSystemApp = false;
    std::int64_t isSelected = 0; // 0 unticked, 1 partly ticked, 2 ticked
    std::string isSystemAppString;
    std::string executableString;
    std::int64_t size = 0;
    SubAppFileListRef fileDatas; // the related records; absent until searched
    std::optional<Date> lastOpenDate;
    std::optional<std::string> company;
    // How it is removed. Package: package is the dpkg package owning its entry;
    // Flatpak: the application id (flatpakUser: of the user's installation);
    // Snap: the snap's name. AppImage and OwnProgram: program is the file the
    // entry starts. NotRemovable: notRemovableReason says why.
    AppKind kind = AppKind::Bundle;
    std::string package;
    bool flatpakUser = false;
    std::string program;
    std::string notRemovableReason;

    // Tick state derived from the related files, or isSelected when there are none.
    std::int64_t checkStatus() const;
    // Ticks or unticks every related file and the item itself; a record the
    // search keeps back (keptReason) is ticked only one by one.
    void setItemEnable(bool enable);

    // The second component of an identifier with at least three components.
    static std::optional<std::string> companyFromIdentifier(const std::string& bundleID);
};

using AppItemRef = std::shared_ptr<AppItem>;
using AppItemList = std::vector<AppItemRef>;

} // namespace tessaly
