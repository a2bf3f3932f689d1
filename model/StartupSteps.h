#pragma once

#include "model/CleanResult.h"
#include "platform/Date.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

class SettingModel;
class UserDefaults;

// The start-up steps that need no window; the application and tessaly-cli share them.
namespace startup {

// home + "Library/Application Support/Vellmo" in the macOS layout, Tessaly's data
// folder ("$XDG_DATA_HOME/Tessaly") in the Linux one.
std::string dataFolderPath();

// Creates the data folder if missing and (re)writes its "info.plist" with the
// single key "mainPath". False when either fails; start-up goes on regardless.
bool writeInfoPlist(const std::string& mainPath);

// True when this is the first start ("FirstRun" absent); records it as 1.
bool recordFirstStart(UserDefaults& defaults);

// The total of cleaned bytes stored under "totleCleanKey" (0 when absent).
std::int64_t loadCleanTotal(const UserDefaults& defaults);

// Adds bytes to the stored total, writes it at once and returns the new total.
std::int64_t addCleanTotal(UserDefaults& defaults, std::int64_t current, std::int64_t bytes);

// The home folder's preferred block size (st_blksize), 0 when stat fails.
std::int32_t homeBlockSize();

// "Play_Sound" absent or true: sounds on; stored false: off.
bool soundEnabled(const UserDefaults& defaults);

// Reads the previous start's date under "lastCleanDateKey", stores `now` in its
// place and answers whether more than 30 days passed (a missing date counts as more).
bool updateLastStart(UserDefaults& defaults, Date now);

// Free below 30 percent of free + inactive + active + wired.
bool memoryIsLow(const std::optional<MemoryData>& memory);

// What the core steps found.
struct CoreStartupResult {
    bool firstStart = false;
    std::int64_t cleanTotle = 0;
};

// Runs, in order, the data folder and "info.plist", the first-start record, the
// cleaned total, block size, sound, clean advice and memory advice, and sets the
// settings store's flags.
CoreStartupResult runCoreSteps(UserDefaults& defaults, SettingModel& settings,
                               const std::string& mainPath, std::optional<MemoryData> memory,
                               Date now);

} // namespace startup
} // namespace tessaly
