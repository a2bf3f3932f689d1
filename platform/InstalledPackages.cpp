#include "platform/InstalledPackages.h"

#include "platform/DirectoryReader.h"
#include "platform/Paths.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>

namespace tessaly::packages {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The stanzas of the status file: "Key: value" lines, a blank line between.
void readStatus(const std::string& file, std::map<std::string, Package>& installed) {
    std::ifstream in(file);
    std::string line;
    Package current;
    bool isInstalled = false;
    auto finish = [&] {
        if (isInstalled && !current.name.empty())
            installed[current.name] = current;
        current = {};
        isInstalled = false;
    };
    while (std::getline(in, line)) {
        if (line.empty()) {
            finish();
            continue;
        }
        if (line[0] == ' ' || line[0] == '\t')
            continue; // a continued field
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, colon);
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (key == "Package")
            current.name = value;
        else if (key == "Version")
            current.version = value;
        else if (key == "Installed-Size")
            current.installedSize = std::strtoll(value.c_str(), nullptr, 10) * 1024;
        else if (key == "Essential")
            current.essential = value == "yes";
        else if (key == "Priority")
            current.priority = value;
        else if (key == "Status")
            isInstalled = endsWith(value, " installed");
    }
    finish();
}

// The newest release's version in an AppStream file: the first <release version="…">.
std::string metainfoVersion(const std::string& file) {
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string tag = "<release ";
    auto at = text.find(tag);
    if (at == std::string::npos)
        return {};
    auto end = text.find('>', at);
    const std::string attribute = "version=\"";
    auto v = text.find(attribute, at);
    if (v == std::string::npos || (end != std::string::npos && v > end))
        return {};
    v += attribute.size();
    auto close = text.find('"', v);
    return close == std::string::npos ? std::string() : text.substr(v, close - v);
}

} // namespace

DpkgDatabase DpkgDatabase::read(const std::vector<std::string>& ownedSuffixes) {
    DpkgDatabase db;
    const std::string admin = paths::systemPath("/var/lib/dpkg");
    readStatus(paths::join(admin, "status"), db.installed_);
    const std::string info = paths::join(admin, "info");
    DirectoryReader reader(info);
    while (reader.isOpen() && reader.next()) {
        const std::string name = reader.name();
        if (!endsWith(name, ".list"))
            continue;
        // "libfoo:amd64.list" belongs to the package "libfoo".
        std::string package = name.substr(0, name.size() - 5);
        package = package.substr(0, package.find(':'));
        std::ifstream list(paths::join(info, name));
        std::string file;
        while (std::getline(list, file))
            for (const std::string& suffix : ownedSuffixes)
                if (endsWith(file, suffix)) {
                    db.owners_.emplace(file, package);
                    break;
                }
    }
    return db;
}

std::map<std::string, Package> installedPackages() {
    std::map<std::string, Package> installed;
    readStatus(paths::systemPath("/var/lib/dpkg/status"), installed);
    return installed;
}

std::string machinePath(const std::string& path) {
    const std::string root = paths::systemRoot();
    if (root == "/" || root.empty() || !paths::isInside(path, root))
        return path;
    return path.substr(root.size() - (root.back() == '/' ? 1 : 0));
}

std::vector<std::string> installedPackageNames() {
    std::map<std::string, Package> installed;
    readStatus(paths::systemPath("/var/lib/dpkg/status"), installed);
    std::vector<std::string> names;
    names.reserve(installed.size());
    for (const auto& entry : installed)
        names.push_back(entry.first);
    return names;
}

std::optional<Package> DpkgDatabase::ownerOf(const std::string& path) const {
    auto owner = owners_.find(path);
    if (owner == owners_.end())
        return std::nullopt;
    auto package = installed_.find(owner->second);
    if (package == installed_.end())
        return std::nullopt;
    return package->second;
}

std::optional<Package> DpkgDatabase::package(const std::string& name) const {
    auto found = installed_.find(name.substr(0, name.find(':')));
    if (found == installed_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> flatpakInstallations() {
    return {paths::systemPath("/var/lib/flatpak"), paths::join(paths::xdgDataHome(), "flatpak")};
}

std::optional<FlatpakApp> flatpakApp(const std::string& id) {
    for (const std::string& installation : flatpakInstallations()) {
        const std::string active = paths::join(installation, "app/" + id + "/current/active");
        char resolved[PATH_MAX];
        if (!::realpath(active.c_str(), resolved))
            continue;
        FlatpakApp app;
        app.id = id;
        app.deployFolder = resolved;
        app.userInstallation = installation != flatpakInstallations().front();
        for (const char* folder : {"files/share/metainfo/", "files/share/appdata/"})
            for (const char* extension : {".metainfo.xml", ".appdata.xml"}) {
                if (app.version.empty())
                    app.version = metainfoVersion(
                        paths::join(app.deployFolder, std::string(folder) + id + extension));
            }
        return app;
    }
    return std::nullopt;
}

std::vector<std::string> flatpakAppIds() {
    std::set<std::string> ids;
    for (const std::string& installation : flatpakInstallations()) {
        DirectoryReader reader(paths::join(installation, "app"));
        while (reader.isOpen() && reader.next())
            if (reader.name()[0] != '.' && reader.isDirectory())
                ids.insert(reader.name());
    }
    return {ids.begin(), ids.end()};
}

} // namespace tessaly::packages
