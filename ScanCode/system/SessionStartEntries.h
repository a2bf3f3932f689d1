#pragma once

#include "model/ScaneOuputObject.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// What a Linux desktop starts with the user's session: autostart desktop
// entries and the user's systemd units. An entry is broken when the program it
// starts is not there (programs::findProgram); a switched-off entry
// (Hidden=true) never is.
namespace sessionstart {

// The program an autostart entry starts (TryExec, else the first word of Exec,
// past "env" and its VAR=value words, its field codes such as "%U" taken out);
// none when the entry is switched off, is no application, names none, or names
// it with a field code only the launcher fills in.
std::optional<std::string> autostartProgram(const std::string& desktopFile);

// The program a user unit starts (the first word of ExecStart, past its "-@:+!"
// prefixes and "env", with systemd's specifiers "%h", "%u", "%U", "%t", "%S",
// "%C", "%E", "%L", "%T", "%V" and "%%" expanded as for the user's service
// manager); none when it starts none or names it with a specifier only the
// service manager knows (an instance name...), so that it is never judged broken.
std::optional<std::string> unitProgram(const std::string& unitFile);

// The links in the unit folder's ".wants" and ".requires" folders that enable
// the unit (what "systemctl --user disable" removes).
std::vector<std::string> enablingLinks(const std::string& unitFolder, const std::string& unitName);

// The broken entries of the folders, one result item each; a unit's item
// removes the unit with the links that enable it. cancelled is asked between
// entries.
ScanItemList brokenAutostartEntries(const std::vector<std::string>& folders,
                                    const std::function<bool()>& cancelled);
ScanItemList brokenUserUnits(const std::vector<std::string>& folders,
                             const std::function<bool()>& cancelled);

} // namespace sessionstart
} // namespace tessaly
