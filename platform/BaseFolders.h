#pragma once

// The user's freedesktop base folders as places a cleaner lists and empties.
// The variables that name them ($XDG_CACHE_HOME, ...) are the user's
// environment, not a promise: one set to the home folder, to "/" or to a folder
// that holds the user's documents would have every entry there taken for a
// cache. A base folder is used only when it passes the test below; otherwise the
// default under the home is, when that passes it, and the choice says why.

#include <optional>
#include <string>

namespace tessaly::basefolders {

enum class Kind { Cache, Data, State, Config };

// "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME".
const char* variableName(Kind kind);

// The default under the home folder: ~/.cache, ~/.local/share, ~/.local/state, ~/.config.
std::string defaultFolder(Kind kind);

// Why a folder may not be the base folder of that kind; none when it may. It
// must be an absolute path and must not be (as written, or once its links are
// resolved) "/" or the system root, a system folder (/usr, /etc, /var, /home,
// ...) or a folder inside one of the system's own trees (/usr, /etc, /var, ...,
// unless it lies in the home folder), the home folder or a folder holding it,
// one of the user's own folders (user-dirs.dirs and the defaults) or a folder
// holding one, nor another kind's base folder (as set, or its default) or a
// folder holding one.
std::optional<std::string> whyUnsafe(Kind kind, const std::string& folder);

struct Choice {
    std::string folder; // the folder to use; empty when neither the variable nor the default may be
    std::string
        refused; // what was not used (the variable's value, or the default); empty when none was
    std::string
        reason; // why, in plain words, and what is used instead; empty when nothing was refused
};

// The base folder of that kind: the variable when it is set and passes the test,
// else the default when it passes it.
Choice choose(Kind kind);

} // namespace tessaly::basefolders
