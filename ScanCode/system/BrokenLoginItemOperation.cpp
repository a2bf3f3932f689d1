#include "ScanCode/system/BrokenLoginItemOperation.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/SessionStartEntries.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/DirectoryReader.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <algorithm>

namespace tessaly {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool startsWith(const std::string& s, const std::string& head) {
    return s.rfind(head, 0) == 0;
}

bool isSystemTool(const std::string& program) {
    for (const char* prefix : {"/usr/bin", "/usr/sbin", "/bin", "/sbin"})
        if (startsWith(program, prefix))
            return true;
    return false;
}

} // namespace

BrokenLoginItemOperation::BrokenLoginItemOperation(LoginItemManager& manager,
                                                   ScanDelegate* scanDelegate)
    : delegate(scanDelegate), manager_(manager) {}

void BrokenLoginItemOperation::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate, sysmodule::BrokenLoginItems, [this] { return scanBrokenLoginItems(); });
}

std::vector<std::string> BrokenLoginItemOperation::getLoginItemPathes() {
    std::vector<std::string> out;
    for (const auto& [base, relative] : currentLayout().launchdFolders)
        if (auto path = placePath(base, relative))
            out.push_back(*path);
    return out;
}

std::optional<std::string> BrokenLoginItemOperation::jobProgram(const std::string& plistPath) {
    auto job = plist::readFile(plistPath);
    if (!job || !job->isDict())
        return std::nullopt;
    if (const PlistValue* program = job->find("Program"); program && program->isString())
        return *program->string();
    const PlistValue* arguments = job->find("ProgramArguments");
    if (!arguments || !arguments->isArray() || arguments->array()->empty() ||
        !arguments->array()->front().isString())
        return std::nullopt;
    const PlistValue::Array& args = *arguments->array();
    std::string first = *args.front().string();
    if (!isSystemTool(first))
        return first;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        const std::string* arg = it->string();
        if (arg && !arg->empty() && (*arg)[0] == '/')
            return *arg;
    }
    return first;
}

ScanItem BrokenLoginItemOperation::convertLoginItemToScanOutputObj(
    const std::string& plistPath, const std::optional<std::string>& program) {
    auto item = std::make_shared<ScaneOuputObject>();
    item->icon = plistPath;
    if (program && !program->empty()) {
        item->name = paths::lastComponent(*program);
    } else {
        std::string base = paths::deletingExtension(paths::lastComponent(plistPath));
        auto dot = base.rfind('.');
        item->name = dot == std::string::npos ? base : base.substr(dot + 1);
    }
    item->isCheck = true;
    item->isLogin = false;
    item->path = plistPath;
    return item;
}

ScanItemList BrokenLoginItemOperation::scanBrokenLoginItems() {
    ScanItemList out;
    for (const LoginItem& broken : manager_.scanBreakLoginItem()) {
        auto item = std::make_shared<ScaneOuputObject>();
        item->icon = broken.icon;
        item->name = broken.name; // the removal finds the login item by this name
        item->isCheck = true;
        item->isLogin = true;
        item->path = broken.url.value_or(std::string());
        out.push_back(std::move(item));
    }
    for (const std::string& folder : getLoginItemPathes()) {
        DirectoryReader reader(folder);
        if (!reader.isOpen())
            continue;
        std::vector<std::string> names;
        while (reader.next())
            if (endsWith(reader.name(), ".plist"))
                names.push_back(reader.name());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (isCancelled())
                break;
            std::string plistPath = paths::join(folder, name);
            auto program = jobProgram(plistPath);
            // A program is looked for where the system would find it (resolved
            // under the system root like any stored location).
            if (program && LoginItemsStore::resolve(*program))
                continue;
            out.push_back(convertLoginItemToScanOutputObj(plistPath, program));
        }
    }
    // The Linux desktop's autostart entries and user units.
    auto folders = [](const std::vector<std::pair<PlaceBase, std::string>>& places) {
        std::vector<std::string> found;
        for (const auto& [base, relative] : places)
            if (auto path = placePath(base, relative))
                found.push_back(*path);
        return found;
    };
    auto cancelled = [this] { return isCancelled(); };
    for (ScanItem& item :
         sessionstart::brokenAutostartEntries(folders(currentLayout().autostartFolders), cancelled))
        out.push_back(std::move(item));
    for (ScanItem& item :
         sessionstart::brokenUserUnits(folders(currentLayout().userUnitFolders), cancelled))
        out.push_back(std::move(item));
    sortUsing(out, [](const ScanItem& a, const ScanItem& b) { return a->compare(*b); });
    return out;
}

} // namespace tessaly
