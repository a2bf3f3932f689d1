#pragma once

#include <string>
#include <vector>

namespace tessaly::userfolders {

// The user's well-known folders.
enum class Kind { Documents, Videos, Music, Pictures, Downloads };

// The folder of a kind: in the macOS layout the home's own ("Documents",
// "Movies", ...); in the Linux layout the one named in the user's
// "user-dirs.dirs" ($XDG_CONFIG_HOME), else the freedesktop default ("Videos").
// Empty when the user turned it off (set to the home folder itself).
std::string path(Kind kind);

// Documents, videos, music, pictures and downloads, in that order, those that
// are set and differ from each other.
std::vector<std::string> mediaFolders();

// Every folder the user keeps their own files in, for the guards that must never
// take one: the freedesktop defaults in the home (Desktop, Documents, Downloads,
// Music, Pictures, Public, Templates, Videos, and the macOS layout's Movies) and
// every folder ("XDG_..._DIR") that the user-dirs.dirs of each settings folder
// names; the home folder itself is never among them.
std::vector<std::string> keptFolders(const std::vector<std::string>& settingsFolders);

} // namespace tessaly::userfolders
