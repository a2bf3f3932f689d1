#pragma once

#include "platform/Date.h"

#include <cstdint>

namespace tessaly {

class UserDefaults;

// Where a clean is recorded, for the screens and tessaly-cli alike.

// The settings key of a tool's last clean date; null for a tool that keeps none.
// System Security shares the Duplicates Finder's key.
const char* lastCleanDateKey(std::int64_t tool);

// A clean starts: the tool's last clean date is stored (when it keeps one).
void recordCleanStart(UserDefaults& defaults, std::int64_t tool, Date when);

// A clean has ended: its bytes are added to the stored total ("totleCleanKey",
// re-read first so that the application and tessaly-cli add to each other's
// totals), "lastCleanDate" is set and the first run is over ("firstRunKey", as
// the home screen sets it once it has shown the first-run rows). Returns the new
// total.
std::int64_t recordCleanEnd(UserDefaults& defaults, std::int64_t bytes, Date when);

// Whether a clean started from a screen asks first ("askBeforeCleaning"; absent
// or unreadable: it asks), and the choice to stop or start asking again.
bool askBeforeCleaning(const UserDefaults& defaults);
bool setAskBeforeCleaning(UserDefaults& defaults, bool ask);

} // namespace tessaly
