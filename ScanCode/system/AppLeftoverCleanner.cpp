#include "ScanCode/system/AppLeftoverCleanner.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/DesktopEntryIndex.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "model/QueueAddition.h"
#include "platform/DirectoryReader.h"
#include "platform/InstalledPackages.h"
#include "platform/KeyFile.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <exception>
#include <unordered_set>

namespace tessaly {

namespace {

bool startsWith(const std::string& s, const char* head) {
    return s.rfind(head, 0) == 0;
}

bool isIgnoredName(const std::string& name) {
    return name == "org.postgresql.postgres.plist" || name == "org.cups.printers.plist" ||
           text::containsIgnoringCase(name, "com.apple") || startsWith(name, ".");
}

// Named like a bundle identifier.
bool isReverseDomainName(const std::string& name) {
    return startsWith(name, "com.") || startsWith(name, "org.") || startsWith(name, "net.");
}

std::vector<std::string> dotComponents(const std::string& s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = s.find('.', start);
        parts.push_back(s.substr(start, dot - start));
        if (dot == std::string::npos)
            return parts;
        start = dot + 1;
    }
}

// Some component after the first of the name equals one after the first of the
// identifier, both lower-cased (empty components never match).
bool sharesLaterComponent(const std::vector<std::string>& name,
                          const std::vector<std::string>& identifier) {
    if (name.size() < 2)
        return false;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (name[i].empty())
            continue;
        for (std::size_t j = 1; j < identifier.size(); ++j)
            if (name[i] == identifier[j])
                return true;
    }
    return false;
}

// A crash-report folder of the user (not the system-wide one).
bool isUserCrashReportFolder(const std::string& folder) {
    std::string home = paths::homePath();
    bool underHome = folder.size() > home.size() && folder.compare(0, home.size(), home) == 0 &&
                     folder[home.size()] == '/';
    const std::string& mark = currentLayout().crashReportMark;
    return underHome && !mark.empty() && text::containsIgnoringCase(folder, mark);
}

} // namespace

AppLeftoverCleanner::AppLeftoverCleanner(SearchApplications& catalogue, ScanDelegate* scanDelegate)
    : delegate(scanDelegate), catalogue_(catalogue) {}

void AppLeftoverCleanner::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate, sysmodule::AppLeftover, [this] { return scanAppLeftOver(); });
}

std::vector<std::string> AppLeftoverCleanner::getAppLeftOverPathes() {
    std::vector<std::string> out;
    for (const auto& [base, relative] : currentLayout().leftoverFolders)
        if (auto path = placePath(base, relative))
            out.push_back(*path);
    return out;
}

std::vector<AppLeftoverCleanner::Owner> AppLeftoverCleanner::owners(const AppItemList& appItems) {
    std::vector<Owner> out;
    out.reserve(appItems.size());
    for (const AppItemRef& app : appItems) {
        if (!app)
            continue;
        Owner owner{text::asciiLowercase(app->bundleID),
                    text::asciiLowercase(app->executableString),
                    text::asciiLowercase(app->name),
                    {},
                    {}};
        owner.identifierComponents = dotComponents(owner.identifier);
        out.push_back(std::move(owner));
    }
    return out;
}

std::vector<AppLeftoverCleanner::Owner> AppLeftoverCleanner::systemOwners() {
    std::vector<Owner> out;
    auto application = [&out](const std::string& id, const std::string& name) {
        Owner owner{text::asciiLowercase(id),
                    text::asciiLowercase(name),
                    text::asciiLowercase(name),
                    {},
                    {}};
        owner.identifierComponents = dotComponents(owner.identifier);
        out.push_back(std::move(owner));
    };
    const std::string extension = ".desktop";
    for (const std::string& folder : DesktopEntryIndex::entryFolders()) {
        DirectoryReader reader(folder);
        while (reader.isOpen() && reader.next()) {
            const std::string file = reader.name();
            if (file.size() <= extension.size() ||
                file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
                continue;
            auto entry = keyfile::read(paths::join(folder, file));
            application(file.substr(0, file.size() - extension.size()),
                        entry ? keyfile::value(*entry, "Desktop Entry", "Name") : std::string());
        }
    }
    for (const std::string& id : packages::flatpakAppIds())
        application(id, {});
    for (const std::string& name : packages::installedPackageNames()) {
        Owner owner;
        owner.package = text::asciiLowercase(name);
        out.push_back(std::move(owner));
    }
    return out;
}

bool AppLeftoverCleanner::matchAppNameWithFile(const std::string& name,
                                               const AppItemList& appItems) const {
    return isOwned(name, owners(appItems));
}

bool AppLeftoverCleanner::isOwned(const std::string& name,
                                  const std::vector<Owner>& candidates) const {
    const std::string lower = text::asciiLowercase(name);
    const auto components = dotComponents(lower);
    auto contains = [](const std::string& haystack, const std::string& needle) {
        return !needle.empty() && haystack.find(needle) != std::string::npos;
    };
    bool sharesComponent = false;
    for (const Owner& owner : candidates) {
        if (isCancelled())
            break;
        if (!owner.package.empty()) {
            if (std::find(components.begin() + 1, components.end(), owner.package) !=
                components.end())
                return true;
            continue;
        }
        if (contains(lower, owner.identifier) || contains(lower, owner.executable) ||
            contains(owner.name, lower))
            return true;
        // Remembered while the other applications are still tried by name.
        if (!sharesComponent && sharesLaterComponent(components, owner.identifierComponents))
            sharesComponent = true;
    }
    return sharesComponent;
}

std::int64_t AppLeftoverCleanner::directorySize(const std::string& path) const {
    // A leftover goes whole, with any package inside it.
    return tessaly::directorySize(path, [this] { return isCancelled(); });
}

void AppLeftoverCleanner::listFolder(const std::string& folder, const std::vector<Owner>& apps,
                                     std::vector<std::string>& stack, ScanItemList& out) {
    const bool crashReports = isUserCrashReportFolder(folder);
    DirectoryReader reader(folder);
    while (reader.next()) {
        if (isCancelled())
            return;
        std::string name = reader.name();
        if (isIgnoredName(name) || !reader.info().exists)
            continue;
        std::string path = paths::join(folder, name);
        bool isDir = reader.isDirectory();
        if (!isReverseDomainName(name)) {
            // A plain-named folder nobody owns is looked into; it is itself a
            // leftover only among the user's crash reports.
            if (isDir && isOwned(name, apps))
                continue;
            if (isDir && !isPackageFolder(name, path) && currentLayout().leftoverLooksInside)
                dornPush(stack, path);
            if (!crashReports || (!isDir && isOwned(name, apps)))
                continue;
        } else if (isOwned(name, apps)) {
            continue;
        }
        auto item = std::make_shared<ScaneOuputObject>();
        item->path = path;
        item->name = name;
        item->isDir = isDir;
        item->fileSize = isDir ? directorySize(path) : itemSize(path, reader.info());
        item->icon = path;
        item->isCheck = true;
        out.push_back(std::move(item));
    }
}

void AppLeftoverCleanner::addFlatpakLeftovers(ScanItemList& out) {
    const std::vector<std::string> installed = packages::flatpakAppIds();
    for (const auto& [base, relative] : currentLayout().flatpakDataFolders) {
        auto folder = placePath(base, relative);
        if (!folder)
            continue;
        announcePath(delegate, *folder);
        DirectoryReader reader(*folder);
        while (reader.isOpen() && reader.next()) {
            if (isCancelled())
                return;
            const std::string name = reader.name();
            if (name[0] == '.' || !reader.isDirectory() ||
                std::find(installed.begin(), installed.end(), name) != installed.end())
                continue;
            auto item = std::make_shared<ScaneOuputObject>();
            item->path = paths::join(*folder, name);
            item->name = name;
            item->isDir = true;
            item->fileSize = directorySize(item->path);
            item->icon = item->path;
            item->isCheck = true;
            out.push_back(std::move(item));
        }
    }
}

ScanItemList AppLeftoverCleanner::scanAppLeftOver() {
    ScanItemList out;
    AppItemList apps;
    for (const AppItemRef& app : catalogue_.allApplications()) {
        if (isCancelled())
            return out;
        if (app && !app->bundleID.empty())
            apps.push_back(app);
    }
    if (apps.empty() && currentLayout().leftoversNeedApplications)
        return out; // nothing can be told to be nobody's
    std::vector<Owner> installed = owners(apps);
    if (currentLayout().leftoverOwnersFromSystem)
        for (Owner& owner : systemOwners())
            installed.push_back(std::move(owner));
    addFlatpakLeftovers(out);
    std::vector<std::string> stack = getAppLeftOverPathes();
    // The crash-report folders are also met inside the support folders: each
    // folder is listed once, so nothing is reported twice.
    std::unordered_set<std::string> visited;
    while (!isCancelled()) {
        auto folder = dornPop(stack);
        if (!folder)
            break;
        if (isPackageFolder(paths::lastComponent(*folder), *folder) ||
            !visited.insert(*folder).second)
            continue;
        announcePath(delegate, *folder);
        listFolder(*folder, installed, stack, out);
    }
    return out;
}

} // namespace tessaly
