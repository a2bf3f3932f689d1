#pragma once

#include <optional>
#include <string>

namespace tessaly::mimeapps {

// The user's choices of applications for file types ($XDG_CONFIG_HOME/mimeapps.list):
// an application's entry ("org.x.App.desktop") in its "Default Applications"
// and "Added Associations" groups. "Removed Associations" are the user's own
// refusals and stay.

// The list's text without the entry: a key whose only value it was goes, the
// other values, lines and groups stay as they were.
std::string without(const std::string& text, const std::string& desktopFile);

// Whether the list at path names the entry; false when it cannot be read.
bool names(const std::string& path, const std::string& desktopFile);

// Rewrites the list without the entry, all at once: none when done (or when
// it named no such entry), else why not.
std::optional<std::string> removeEntry(const std::string& path, const std::string& desktopFile);

} // namespace tessaly::mimeapps
