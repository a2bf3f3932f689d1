#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

class UserDefaults;

// The System Cleanup module identifiers. Result stores, progress rows,
// notifications and the module switches all use them. 0-12 and the privacy
// modules 21-22 can be switched on and off by the user; 13-20 have names and no
// scanner of their own.
namespace sysmodule {
inline constexpr int IOSSoftwareUpdates = 0;
inline constexpr int IOSPhotoCache = 1;
inline constexpr int BrokenLoginItems = 2;
inline constexpr int SystemLog = 3;
inline constexpr int SystemCache = 4;
inline constexpr int UserCache = 5;
inline constexpr int UserLog = 6;
inline constexpr int iPhotoCache = 7;
inline constexpr int Trash = 8;
inline constexpr int MailAttachments = 9;
inline constexpr int Binary = 10;
inline constexpr int AppLeftover = 11;
inline constexpr int Language = 12;
inline constexpr int UselessAppImages = 13;
inline constexpr int BadAlias = 14;
inline constexpr int BrokenPreferences = 15;
inline constexpr int UserDownloads = 16;
inline constexpr int Cookie = 17;
inline constexpr int History = 18;
inline constexpr int Session = 19;
inline constexpr int InternetCache = 20;
// Traces of the user's work outside the browsers, off until switched on.
inline constexpr int RecentDocuments = 21;
inline constexpr int ShellHistory = 22;
inline constexpr int Count = 23;
inline constexpr int LastSelectable = Language;
} // namespace sysmodule

// The modules a user can switch on and off, in identifier order.
const std::vector<int>& selectableModules();
bool isSelectableModule(int module);
// Whether a module is scanned while its switch was never stored (the privacy
// modules are not).
bool moduleOnByDefault(int module);

// The module's display name; "Other" outside 0-22. Also the key of its switch
// in the settings.
std::string moduleName(std::int64_t module);
// Icon names: the list icon, the settings icon and the large icon.
std::string moduleImage(std::int64_t module);
std::string moduleSetImage(std::int64_t module);
std::string moduleOkImage(std::int64_t module);

// The module for a display name (exact text); -1 when none.
int moduleForName(const std::string& name);

// The user's switch of a selectable module, stored under its display name: as
// stored, else moduleOnByDefault. Other modules are never on.
bool moduleSwitchedOn(const UserDefaults& defaults, int module);
// Stores the switch; false when the settings could not be written.
bool setModuleSwitch(UserDefaults& defaults, int module, bool on);

} // namespace tessaly
