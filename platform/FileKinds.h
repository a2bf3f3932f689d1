#pragma once

#include <string>
#include <string_view>

namespace tessaly::fileattr {

// Whether a folder with this name is a package: a bundle that the file manager
// shows and handles as one file (applications, plug-ins, frameworks, widgets,
// preference panes, document packages...). Decided by the name's extension,
// ignoring case, from a table of the bundle kinds in use.
bool isPackageName(std::string_view name);

// The name the file manager shows for a path: its last component, with the
// extension of an application hidden ("Mail.app" shows as "Mail").
std::string displayName(const std::string& path);

} // namespace tessaly::fileattr
