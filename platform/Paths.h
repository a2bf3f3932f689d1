#pragma once

#include <string>

namespace tessaly::paths {

// Login name of the user running the program.
std::string loginName();

// The user's home folder: TESSALY_HOME when set, otherwise the running user's home
// from the password database (not $HOME, which a sandbox or sudo may change).
std::string homePath();

// The process's own idea of its home directory ($HOME), which may differ from homePath().
std::string processHomeDirectory();

// Prefix under which every absolute system place ("/Library/Logs", "/Applications",
// "/Volumes", ...) is resolved: TESSALY_ROOT when set, otherwise "/".
std::string systemRoot();

// An absolute system place resolved under systemRoot().
std::string systemPath(const std::string& absolute);

// A path recorded on the machine (in a login-items list, an alias file): as it
// is when it lies in the home folder or already under the system root, otherwise
// resolved under systemRoot().
std::string recordedPath(const std::string& absolute);

// Whether the path lies inside the folder (not the folder itself).
bool isInside(const std::string& path, const std::string& folder);

// The freedesktop base folders of the user: the variable when it holds an
// absolute path, otherwise the default under the home folder (".cache",
// ".local/share", ".local/state", ".config").
std::string xdgCacheHome();
std::string xdgDataHome();
std::string xdgStateHome();
std::string xdgConfigHome();

// The folder of our own settings: home + "/.config/Tessaly".
std::string configDir();

// The folder of shipped resources: TESSALY_RESOURCES when set, otherwise the
// installed share folder beside the executable, otherwise the build tree's.
std::string resourcesDir();

// A resource file by name and extension ("Language", "plist"); empty when missing.
std::string resourcePath(const std::string& name, const std::string& extension);

// Absolute path of the running executable.
std::string executablePath();

// Joins two path parts with exactly one "/" between them.
std::string join(const std::string& a, const std::string& b);

// Last path component ("a/b.app/" gives "b.app").
std::string lastComponent(const std::string& path);

// Path without its last component ("/a/b" gives "/a", "b" gives "").
std::string deletingLastComponent(const std::string& path);

// Extension without the dot ("x.lproj" gives "lproj"); empty when none.
std::string extension(const std::string& path);

// Path without its extension.
std::string deletingExtension(const std::string& path);

// Creates a folder and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path, unsigned mode = 0755);

} // namespace tessaly::paths
