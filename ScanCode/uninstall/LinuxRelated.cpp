// What a Linux application is and leaves in the home folder: its package (or
// its own program file and entry), and its folders in the base folders, its
// Flatpak data, the autostart entries and user units that start it.
#include "ScanCode/system/SessionStartEntries.h"
#include "ScanCode/uninstall/MimeAssociations.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "model/Problem.h"
#include "platform/DirectoryReader.h"
#include "platform/InstalledPackages.h"
#include "platform/PackageTools.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <set>

namespace tessaly {

namespace {

// Folders of the desktop itself that no application owns, whatever its name.
const std::set<std::string>& sharedFolders() {
    static const auto* names = new std::set<std::string>{"applications",
                                                         "autostart",
                                                         "systemd",
                                                         "flatpak",
                                                         "trash",
                                                         "mime",
                                                         "icons",
                                                         "fonts",
                                                         "themes",
                                                         "sounds",
                                                         "keyrings",
                                                         "dconf",
                                                         "gtk-2.0",
                                                         "gtk-3.0",
                                                         "gtk-4.0",
                                                         "pulse",
                                                         "environment.d",
                                                         "fontconfig",
                                                         "menus",
                                                         "desktop-directories",
                                                         "tessaly",
                                                         "recently-used.xbel",
                                                         "user-dirs.dirs",
                                                         "user-dirs.locale",
                                                         "mimeapps.list",
                                                         "gvfs-metadata",
                                                         "dbus-1",
                                                         "nautilus-python",
                                                         "xorg"};
    return *names;
}

bool nameIn(const std::string& name, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        if (text::equalsIgnoringCase(n, name))
            return true;
    return false;
}

// The base folders, each searched one level deep.
std::vector<std::string> baseFolders() {
    return {paths::xdgConfigHome(), paths::xdgDataHome(), paths::xdgStateHome(),
            paths::xdgCacheHome()};
}

SubAppFileRef homeRecord(const std::string& path) {
    auto record = std::make_shared<SubAppFileObj>();
    record->path = path;
    record->type = subfile::File;
    const fileattr::EntryInfo info = fileattr::entryInfo(path);
    record->size = itemSize(path, info);
    record->stamp = fileattr::stampOf(info, /*contents=*/false);
    return record;
}

std::string programName(const std::string& program) {
    return program.empty() ? std::string() : paths::lastComponent(program);
}

// Programs that start other programs: what they start says nothing of whose it is.
bool isLauncher(const std::string& name) {
    static const auto* names =
        new std::set<std::string>{"sh",     "bash",    "dash", "env",  "flatpak",  "snap",
                                  "python", "python3", "perl", "java", "xdg-open", "gio"};
    return names->count(name) > 0;
}

// The program an autostart entry or unit names, by its file name.
bool startsProgram(const std::optional<std::string>& started, const std::string& program) {
    return started && !program.empty() && !isLauncher(programName(program)) &&
           (*started == program || programName(*started) == programName(program));
}

std::string joinedNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

void SearchApplications::setPackageOptions(PackageRemovalOptions options) {
    std::lock_guard<std::mutex> guard(lock_);
    packageOptions_ = options;
}

PackageRemovalOptions SearchApplications::packageOptions() const {
    std::lock_guard<std::mutex> guard(lock_);
    return packageOptions_;
}

std::vector<std::string> SearchApplications::linuxNamesOf(const AppItem& item) {
    std::vector<std::string> names;
    auto add = [&names](const std::string& name) {
        if (name.size() >= 2 && !nameIn(name, names) &&
            !sharedFolders().count(text::asciiLowercase(name)))
            names.push_back(name);
    };
    add(item.bundleID);
    const auto dot = item.bundleID.rfind('.');
    if (dot != std::string::npos)
        add(item.bundleID.substr(dot + 1));
    add(item.package);
    if (!isLauncher(programName(item.program)))
        add(programName(item.program));
    return names;
}

std::optional<std::string> SearchApplications::linuxClaimedElsewhere(const std::string& path,
                                                                     const AppItem& item) const {
    const std::string name = paths::lastComponent(path);
    const std::string folder = paths::deletingLastComponent(path);
    const std::string varApp = paths::join(paths::homePath(), ".var/app");
    for (const AppItemRef& other : allApplications()) {
        if (other->path == item.path || other->isSelected == 2 || other->kind == AppKind::Bundle)
            continue;
        const bool claims = folder == varApp
                                ? other->package == name && other->kind == AppKind::Flatpak
                                : nameIn(name, linuxNamesOf(*other));
        if (claims)
            return other->name + " (" + other->path + ")";
    }
    return std::nullopt;
}

SubAppFileRef SearchApplications::packageRecord(const AppItem& item) const {
    auto record = std::make_shared<SubAppFileObj>();
    record->type = subfile::Package;
    record->path = item.path;
    record->entryName = item.package;
    record->identifier = appKindTitle(item.kind);
    record->icon = item.image;
    record->packages = {item.package};
    record->size = item.size;
    if (item.kind != AppKind::Package)
        return record;

    const PackageRemovalOptions options = packageOptions();
    const packages::AptSimulation sim = packages::simulateRemoval({item.package}, options.purge);
    if (!sim.ok) {
        record->keptReason = "apt-get cannot remove it: " + sim.error;
        return record;
    }
    record->packages = sim.removed;
    const packages::DpkgDatabase dpkg = packages::DpkgDatabase::read({});
    std::int64_t installed = 0;
    std::vector<std::string> essential, required, extra;
    for (const std::string& name : sim.removed) {
        const auto package = dpkg.package(name);
        if (package)
            installed += package->installedSize;
        if (package && package->essential)
            essential.push_back(name);
        else if (package && package->priority == "required")
            required.push_back(name);
        if (name.substr(0, name.find(':')) != item.package)
            extra.push_back(name);
    }
    // apt-get's own figure when it gives one, else what dpkg records the
    // packages as taking.
    record->size = sim.freed.value_or(installed);
    if (!essential.empty()) {
        record->keptReason = "removing it would remove " + joinedNames(essential) +
                             ", which the system cannot do without (Essential)";
    } else if (!options.confirmPackages && !required.empty()) {
        record->keptReason = "removing it would remove " + joinedNames(required) +
                             " (Priority: required); confirm that list to remove them";
    } else if (!options.confirmPackages && !extra.empty()) {
        record->keptReason = "removing it would also remove " + joinedNames(extra) +
                             "; confirm that list to remove them";
    }
    return record;
}

SubAppFileList SearchApplications::linuxFiles(const AppItem& item) const {
    SubAppFileList records;
    switch (item.kind) {
    case AppKind::Package:
    case AppKind::Flatpak:
    case AppKind::Snap:
        records.push_back(packageRecord(item));
        break;
    case AppKind::AppImage:
    case AppKind::OwnProgram:
        if (!item.program.empty())
            records.push_back(homeRecord(item.program));
        records.push_back(homeRecord(item.path));
        break;
    default:
        return records; // nothing removes it, nor what it keeps in the home
    }

    std::vector<std::string> found;
    const std::vector<std::string> names = linuxNamesOf(item);
    const std::vector<std::string> bases = baseFolders();
    for (const std::string& folder : bases) {
        DirectoryReader reader(folder);
        if (!reader.isOpen())
            ProblemCollector::reportUnreadable(folder, reader.openError());
        while (reader.next())
            if (nameIn(reader.name(), names))
                found.push_back(paths::join(folder, reader.name()));
    }
    if (item.kind == AppKind::Flatpak) {
        const std::string data = paths::join(paths::homePath(), ".var/app/" + item.package);
        if (fileattr::entryInfo(data).exists)
            found.push_back(data);
    }
    // What starts the program with the session.
    const std::string autostart = paths::join(paths::xdgConfigHome(), "autostart");
    for (DirectoryReader reader(autostart); reader.next();) {
        const std::string path = paths::join(autostart, reader.name());
        if (reader.name() == item.bundleID + ".desktop" ||
            startsProgram(sessionstart::autostartProgram(path), item.program))
            found.push_back(path);
    }
    const std::string units = paths::join(paths::xdgConfigHome(), "systemd/user");
    for (DirectoryReader reader(units); reader.next();) {
        const std::string path = paths::join(units, reader.name());
        if (reader.isDirectory() || paths::extension(reader.name()) != "service" ||
            !startsProgram(sessionstart::unitProgram(path), item.program))
            continue;
        found.push_back(path);
        for (const std::string& link : sessionstart::enablingLinks(units, reader.name()))
            found.push_back(link);
    }

    // Never a base folder or what holds one, never a file a package owns.
    const packages::DpkgDatabase dpkg = packages::DpkgDatabase::read(found);
    std::set<std::string> seen;
    for (const SubAppFileRef& r : records)
        seen.insert(r->path);
    const SubAppFileRef package =
        records.front()->type == subfile::Package ? records.front() : nullptr;
    for (const std::string& path : found) {
        bool holdsBase = false;
        for (const std::string& base : bases)
            holdsBase = holdsBase || base == path || paths::isInside(base, path);
        if (holdsBase || dpkg.ownerOf(path) || !seen.insert(path).second)
            continue;
        SubAppFileRef record = homeRecord(path);
        if (auto other = linuxClaimedElsewhere(path, item))
            record->keptReason = "it could belong to " + *other + " too";
        else if (package && !package->keptReason.empty())
            record->keptReason = "it stays while " + package->title() + " stays installed";
        records.push_back(std::move(record));
    }
    // Its entry leaves the user's choices of applications for file types.
    const std::string choices = paths::join(paths::xdgConfigHome(), "mimeapps.list");
    const std::string desktopFile = paths::lastComponent(item.path);
    if (mimeapps::names(choices, desktopFile)) {
        auto record = std::make_shared<SubAppFileObj>();
        record->type = subfile::MimeAssociation;
        record->path = choices;
        record->entryName = desktopFile;
        record->icon = item.image;
        if (package && !package->keptReason.empty())
            record->keptReason = "it stays while " + package->title() + " stays installed";
        records.push_back(std::move(record));
    }
    for (const SubAppFileRef& record : records)
        record->isCheck = item.isSelected == 2 && record->keptReason.empty();
    return records;
}

} // namespace tessaly
