#pragma once

#include "model/CleanResult.h"
#include "platform/Date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class UserDefaults;

// What the home screen's recommendations are judged by.
struct HomeAdviceInput {
    bool firstRun = false; // "firstRunKey" absent
    std::optional<Date> systemLastClean;
    std::optional<Date> duplicateLastClean;
    std::optional<Date> oldLastClean;
    std::optional<Date> aliasLastClean;
    std::optional<Date> browserLastClean;
    std::optional<Date> lastCleanDate; // the last clean by any tool
    std::optional<MemoryData> memory;
    Date now{};

    // Reads the stored dates and the first-run key; changes nothing.
    static HomeAdviceInput fromDefaults(const UserDefaults& defaults,
                                        std::optional<MemoryData> memory, Date now);
};

// The home screen's recommendations and texts for one launch.
struct HomeAdvice {
    std::vector<ToolData> datas;
    bool showInfo = false; // rows show their date or memory line
    bool firstRun = false;
    std::string headline;
};

// A tool is overdue when it never cleaned or last cleaned more than 14 days ago.
inline constexpr double kOverdueSeconds = 1209600.0;
// Memory Optimization is recommended below this share of free memory.
inline constexpr double kHomeFreeMemoryRatio = 0.4;

inline constexpr const char* kHomeWelcomeTitle = "Welcome!";
inline constexpr const char* kHomeTitle = "Home";
inline constexpr const char* kFirstRunHeadline =
    "Follow the instructions below to improve the performance of your Mac immediately!";
inline constexpr const char* kFourteenDaysHeadline =
    "You have not done cleanup for 14 days. Follow the instructions below to improve the "
    "performance of your Mac immediately.";
inline constexpr const char* kLongTimeHeadline =
    "You have not done system cleanup for a long time. There may be a lot of system junk in "
    "your system, affecting the work efficiency of your Mac. Follow the instructions below "
    "immediately to free up valuable disk space and improve the performance of your Mac.";
inline constexpr const char* kRegularHeadline =
    "Carry out system cleanup for your beloved Mac regularly and remove unwanted junk files to "
    "keep your Mac in the top working conditions.";
inline constexpr const char* kContinueLine =
    "All recommended tools finish, push \"conitune\" to select other tools";

// Free pages over free + active + inactive + wired; none without a sample or pages.
std::optional<double> freeMemoryRatio(const std::optional<MemoryData>& memory);

// The rows and headline by the first-run, 14-day and free-memory rules.
HomeAdvice buildHomeAdvice(const HomeAdviceInput& input);

// The headline of a later run, from the whole days since the last clean (in the
// words of the layout in use, see forLayout).
std::string homeHeadline(const std::optional<Date>& lastCleanDate, Date now);

// The rows the continue button puts in place: Uninstaller, Old Files Finder, Alias Finder.
std::vector<ToolData> continueRows();

// A row's info line: "Last clean date:%@", "Low Free memory %.3f", or empty.
std::string homeRowInfo(const ToolData& row, bool showInfo);

// Reads the input for this launch and, on a first run, records that the
// first-run rows have been shown ("firstRunKey"). The home screen calls this once.
HomeAdvice loadHomeAdvice(UserDefaults& defaults, std::optional<MemoryData> memory, Date now);

} // namespace tessaly
