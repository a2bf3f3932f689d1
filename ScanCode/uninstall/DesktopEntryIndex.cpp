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
#include <cstdlib>
#include <set>
#include <sstream>

namespace tessaly {

namespace {

const std::string kGroup = "Desktop Entry";

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The path the machine knows a file under our system root by.
std::string machinePath(const std::string& path) {
    const std::string root = paths::systemRoot();
    if (root == "/" || root.empty() || !paths::isInside(path, root))
        return path;
    return path.substr(root.size() - (root.back() == '/' ? 1 : 0));
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
            if (auto package = dpkg.ownerOf(machinePath(path))) {
                app.version = package->version;
                app.size = package->installedSize;
            } else if (auto flatpak = flatpakOwner(id, flatpaks)) {
                app.version = flatpak->version;
                app.size = directorySize(flatpak->deployFolder);
            }
            std::string program = keyfile::value(*entry, kGroup, "TryExec");
            if (program.empty())
                program = keyfile::commandProgram(keyfile::value(*entry, kGroup, "Exec"));
            // The program itself, not the link in a program folder that names
            // it: starting it reads the program, never the link's own times.
            if (auto where = programs::findProgram(program))
                if (auto end = fileops::followLinks(*where))
                    app.lastUsed = fileattr::lastUsedDate(fileattr::entryInfo(*end));
            out.push_back(std::move(app));
        }
    }
    std::sort(out.begin(), out.end(), [](const IndexedApplication& a, const IndexedApplication& b) {
        return a.displayName < b.displayName;
    });
    return out;
}

} // namespace tessaly
