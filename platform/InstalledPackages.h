#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::packages {

// A package of the system's package database.
struct Package {
    std::string name;
    std::string version;
    std::int64_t installedSize = 0; // bytes
    bool essential = false;         // "Essential: yes"
    std::string priority;           // "required", "important", "optional"...
};

// The packages dpkg has installed ("/var/lib/dpkg/status" under the system
// root) and the owners of the files asked about (from "info/*.list").
class DpkgDatabase {
public:
    // Reads the database; only files whose path ends with one of the suffixes
    // have their owner kept (reading every owner of every file is not needed).
    static DpkgDatabase read(const std::vector<std::string>& ownedSuffixes);

    // The installed package owning a file, given as the machine sees it
    // ("/usr/share/applications/x.desktop"); none when no package owns it.
    std::optional<Package> ownerOf(const std::string& path) const;
    // The installed package of that name (an ":arch" qualifier is ignored).
    std::optional<Package> package(const std::string& name) const;

private:
    std::map<std::string, Package> installed_;
    std::map<std::string, std::string> owners_; // file → package name
};

// The packages dpkg has installed, by name (its status file alone).
std::map<std::string, Package> installedPackages();

// A path under the system root as the machine (and dpkg's lists) know it:
// "<root>/usr/bin/x" is "/usr/bin/x"; other paths are returned as they are.
std::string machinePath(const std::string& path);

// The names of the packages dpkg has installed (its status file alone).
std::vector<std::string> installedPackageNames();

// An application installed through Flatpak, for the system or the user.
struct FlatpakApp {
    std::string id;
    std::string version;           // from its metainfo's latest release; empty when unknown
    std::string deployFolder;      // the active deployment, links resolved
    bool userInstallation = false; // in "$XDG_DATA_HOME/flatpak", not the system's
};

// The Flatpak installations: the system's ("/var/lib/flatpak" under the
// system root) and the user's ("$XDG_DATA_HOME/flatpak").
std::vector<std::string> flatpakInstallations();

// The installed application of that id, in the installations; none when it is
// not installed.
std::optional<FlatpakApp> flatpakApp(const std::string& id);

// The ids of every installed Flatpak application.
std::vector<std::string> flatpakAppIds();

} // namespace tessaly::packages
