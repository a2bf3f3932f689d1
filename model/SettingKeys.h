#pragma once

// Keys of the application's persistent settings.
namespace tessaly::keys {

inline constexpr const char* FirstRun = "FirstRun";
inline constexpr const char* firstRunKey = "firstRunKey";
inline constexpr const char* PlaySound = "Play_Sound";
inline constexpr const char* KeepLanguage = "Keep_Language";
inline constexpr const char* KeepCookie = "Keep_Cookie";
// Paths no tool ever lists, nor removes with a folder that holds them (a list of
// absolute paths, "~" for the home folder; absent: none).
inline constexpr const char* KeepPath = "Keep_Path";
inline constexpr const char* totleCleanKey = "totleCleanKey";
inline constexpr const char* lastCleanDateKey = "lastCleanDateKey";
inline constexpr const char* lastCleanDate = "lastCleanDate";
inline constexpr const char* systemLastCleanDateKey = "systemLastCleanDateKey";
inline constexpr const char* browserLastCleanDateKey = "browserLastCleanDateKey";
inline constexpr const char* duplicateLastCleanDateKey = "duplicateLastCleanDateKey";
inline constexpr const char* oldLastCleanDateKey = "oldLastCleanDateKey";
inline constexpr const char* aliasLastCleanDateKey = "aliasLastCleanDateKey";
inline constexpr const char* Login = "Login";
inline constexpr const char* searchLocationKey = "searchLocationKey";
inline constexpr const char* installDeamon = "installDeamon";
// Reports to the maker: whether they are sent ("sendReports", on unless false)
// and where ("reportHost", a base URL; TESSALY_REPORT_URL overrides it).
inline constexpr const char* sendReports = "sendReports";
inline constexpr const char* reportHost = "reportHost";
// Whether a clean or removal asks before it deletes (bool; absent: it asks).
inline constexpr const char* askBeforeCleaning = "askBeforeCleaning";
// A folder of signature files of the user's own (".hsb", ".ndb") that System
// Security reads before each scan, after its shipped tables (absent: none).
inline constexpr const char* signatureFolder = "signatureFolder";

} // namespace tessaly::keys
