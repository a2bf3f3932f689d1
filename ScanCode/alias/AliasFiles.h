#pragma once

#include "platform/FileAttributes.h"

#include <optional>
#include <string>

namespace tessaly::aliasfile {

// What makes an entry an alias here: a symbolic link, or a regular file that
// begins with bookmark data (an alias file of the macOS layout).
bool isAlias(const std::string& path, const fileattr::EntryInfo& info);

// The target an alias names: a link's target (made absolute beside the link), or
// the bookmark's path placed on this machine. None when it cannot be read.
std::optional<std::string> target(const std::string& path);

// Whether something is at the alias's target (a link is followed to its end; a
// loop or a missing end counts as nothing).
bool targetExists(const std::string& aliasPath, const std::string& target);

// Points the alias at a new target: a link is replaced by a new link made beside
// it under a name nothing had and swapped into its place (no other file beside
// it is ever touched); an alias file gets new bookmark data, written whole
// through a temporary file. False, with the alias as it was, on any failure.
bool repoint(const std::string& path, const std::string& newTarget);

} // namespace tessaly::aliasfile
