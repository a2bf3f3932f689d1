#include "ScanCode/system/ScanBinariesOperation.h"

#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/BundleReader.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/FileAttributes.h"
#include "platform/Log.h"
#include "platform/MachOFile.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <exception>

namespace tessaly {

namespace {

constexpr std::uint32_t kCpuX86_64 = 0x01000007;

std::string describe(const ScanItemList& items) {
    std::string out = "(";
    for (const ScanItem& item : items)
        out += (out.size() > 1 ? ", " : "") + item->path;
    return out + ")";
}

} // namespace

ScanBinariesOperation::ScanBinariesOperation(SearchApplications& catalogue, ScanServices services,
                                             ScanDelegate* scanDelegate)
    : delegate(scanDelegate), catalogue_(catalogue), services_(std::move(services)) {}

ScanBinariesOperation::MachineArchitecture
ScanBinariesOperation::architectureForMachine(const std::string& machine) {
    if (machine == "i386")
        return {7, "32-icon"};
    if (machine == "ppc")
        return {18, "32-icon"};
    if (machine == "ppc64")
        return {0x01000012, "64-icon"};
    return {kCpuX86_64, "64-icon"};
}

bool ScanBinariesOperation::isExcluded(const std::string& applicationName) {
    // The catalogue names applications by their bundle's file name ("X.app").
    return applicationName == "Drive Genius" ||
           paths::deletingExtension(applicationName) == "Drive Genius";
}

void ScanBinariesOperation::main() {
    if (isCancelled()) {
        log::line("fileFile end");
        return;
    }
    runModuleScan(delegate, sysmodule::Binary, [this] {
        ScanItemList items = fileFile();
        log::line("fileFile");
        log::line("fileFile end");
        log::line("scanResults  " + describe(items));
        return items;
    });
}

ScanItemList ScanBinariesOperation::fileFile() {
    const std::string machine =
        services_.machineArchitecture ? services_.machineArchitecture() : std::string();
    const MachineArchitecture arch = architectureForMachine(machine);
    ScanItemList out;
    for (const AppItemRef& app : catalogue_.allApplications()) {
        if (isCancelled())
            break;
        if (!app || isExcluded(app->name))
            continue;
        auto executable = mainExecutablePath(app->path, readBundleInfo(app->path));
        std::vector<std::uint32_t> types;
        if (executable)
            types = macho::executableArchitectures(*executable);
        announcePath(delegate, app->path);
        if (types.size() < 2 || std::find(types.begin(), types.end(), arch.code) == types.end())
            continue;
        auto item = std::make_shared<ScaneOuputObject>();
        item->path = app->path;
        item->name = paths::lastComponent(app->path);
        item->isCheck = true;
        item->icon = arch.icon;
        item->fileSize = fileattr::entryInfo(*executable).size; // the whole file, every slice
        out.push_back(std::move(item));
    }
    sortUsing(out, [](const ScanItem& a, const ScanItem& b) { return a->compare(*b); });
    return out;
}

} // namespace tessaly
