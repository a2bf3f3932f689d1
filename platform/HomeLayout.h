#pragma once

#include <string>

namespace tessaly::layout {

// The two ways a home folder is laid out: the macOS one (Library, .Trash,
// property lists) and the Linux desktop's own (the freedesktop base folders).
enum class HomeLayout { MacOS, Linux };

// TESSALY_LAYOUT ("macos" or "linux") when set to one of them; otherwise the
// macOS layout when the home folder holds a Library folder, the Linux one when
// it does not. Asked afresh each time, so a changed home is followed.
HomeLayout current();

// "macos" or "linux".
const char* name(HomeLayout layout);

// Tessaly's own data: "~/Library/Application Support/Tessaly" in the macOS
// layout, "$XDG_DATA_HOME/Tessaly" in the Linux one.
std::string appDataFolder();

// Where Tessaly's state between runs waits (the report of a crash): the data
// folder in the macOS layout, "$XDG_STATE_HOME/Tessaly" in the Linux one.
std::string appStateFolder();

} // namespace tessaly::layout
