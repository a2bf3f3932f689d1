#include "ScanCode/uninstall/DesktopEntryIndex.h"

#include "model/FolderWalk.h"
#include "platform/DirectoryReader.h"
#include "platform/FileAttributes.h"
#include "platform/InstalledPackages.h"
#include "platform/KeyFile.h"
#include "platform/LinkChain.h"
#include "platform/Paths.h"
#include "platform/ProgramSearch.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

namespace tessaly {

namespace {

const std::string kGroup = "Desktop Entry";

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The Flatpak application an exported entry belongs to: "org.x.App.desktop" and
// "org.x.App.extra.desktop" both belong to an installed "org.x.App".
std::optional<packages::FlatpakApp> flatpakOwner(const std::string& desktopId,
                                                 const std::vector<std::string>& installed) {
    for (const std::string& id : installed)
        if (desktopId == id || desktopId.rfind(id + ".", 0) == 0)
            return packages::flatpakApp(id);
    return std::nullopt;
}

// Snapd's exported entries are named "SNAP_APP.desktop".
std::string snapName(const std::string& desktopId, const keyfile::KeyFile& entry) {
    std::string instance = keyfile::value(entry, kGroup, "X-SnapInstanceName");
    return instance.empty() ? desktopId.substr(0, desktopId.find('_')) : instance;
}

bool endsWithIgnoringCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size())
        return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) !=
            std::tolower(static_cast<unsigned char>(tail[i])))
            return false;
    return true;
}

} // namespace

std::vector<std::string> DesktopEntryIndex::entryFolders() {
    std::vector<std::string> folders{paths::join(paths::xdgDataHome(), "applications")};
    for (const std::string& installation : packages::flatpakInstallations())
        folders.push_back(paths::join(installation, "exports/share/applications"));
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    std::string dir;
    while (std::getline(list, dir, ':'))
        if (!dir.empty() && dir[0] == '/')
            folders.push_back(paths::join(paths::systemPath(dir), "applications"));
    return folders;
}

std::optional<std::vector<IndexedApplication>>
DesktopEntryIndex::findApplications(const std::vector<std::string>& /*scopes*/) {
    const packages::DpkgDatabase dpkg = packages::DpkgDatabase::read({".desktop"});
    const std::vector<std::string> flatpaks = packages::flatpakAppIds();
    std::vector<IndexedApplication> out;
    std::set<std::string> seen;
    const std::string ownFolder = paths::join(paths::xdgDataHome(), "applications");
    const std::string snapFolder = paths::systemPath("/var/lib/snapd/desktop/applications");
    for (const std::string& folder : entryFolders()) {
        DirectoryReader reader(folder);
        std::vector<std::string> names;
        while (reader.isOpen() && reader.next())
            if (endsWith(reader.name(), ".desktop"))
                names.push_back(reader.name());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string id = name.substr(0, name.size() - 8);
            if (!seen.insert(id).second)
                continue; // an entry earlier in the search order hides it
            const std::string path = paths::join(folder, name);
            auto entry = keyfile::read(path);
            if (!entry || keyfile::value(*entry, kGroup, "Type") != "Application" ||
                keyfile::value(*entry, kGroup, "NoDisplay") == "true" ||
                keyfile::value(*entry, kGroup, "Hidden") == "true")
                continue;
            IndexedApplication app;
            app.path = path;
            app.bundleID = id;
            app.displayName = keyfile::value(*entry, kGroup, "Name");
            if (app.displayName.empty())
                app.displayName = id;
            app.icon = keyfile::value(*entry, kGroup, "Icon");
            std::string program = keyfile::value(*entry, kGroup, "TryExec");
            if (program.empty())
                program = keyfile::commandProgram(keyfile::value(*entry, kGroup, "Exec"));
            const auto where = programs::findProgram(program);
            // The program itself, not the link in a program folder that names
            // it: starting it reads the program, never the link's own times.
            if (where)
                if (auto end = fileops::followLinks(*where))
                    app.lastUsed = fileattr::lastUsedDate(fileattr::entryInfo(*end));
            app.program = where.value_or("");
            if (auto package = dpkg.ownerOf(packages::machinePath(path))) {
                app.version = package->version;
                app.size = package->installedSize;
                app.kind = AppKind::Package;
                app.package = package->name;
            } else if (auto flatpak = flatpakOwner(id, flatpaks)) {
                app.version = flatpak->version;
                app.size = directorySize(flatpak->deployFolder);
                app.kind = AppKind::Flatpak;
                app.package = flatpak->id;
                app.flatpakUser = flatpak->userInstallation;
            } else if (folder == snapFolder) {
                app.kind = AppKind::Snap;
                app.package = snapName(id, *entry);
            } else if (folder == ownFolder && where && paths::isInside(*where, paths::homePath()) &&
                       !fileattr::entryInfo(*where).isSymlink) {
                // The user's own program: its file and its entry are all there is.
                app.kind = endsWithIgnoringCase(*where, ".AppImage") ? AppKind::AppImage
                                                                     : AppKind::OwnProgram;
                app.size = itemSize(*where);
            } else if (folder == ownFolder && !where) {
                // The user's entry of a program that is gone: the entry is all there is.
                app.kind = AppKind::OwnProgram;
            } else {
                app.kind = AppKind::NotRemovable;
                app.notRemovableReason =
                    folder == ownFolder ? "the program it starts (" + *where +
                                              ") is not the user's own file under the home folder"
                                        : "no package, Flatpak or Snap owns its desktop entry";
            }
            out.push_back(std::move(app));
        }
    }
    std::sort(out.begin(), out.end(), [](const IndexedApplication& a, const IndexedApplication& b) {
        return a.displayName < b.displayName;
    });
    return out;
}

} // namespace tessaly
