#pragma once

#include "ScanCode/old/OldType.h"
#include "ScanCode/uninstall/AppItem.h"
#include "platform/Date.h"

#include <vector>

namespace tessaly {

// One group of the Uninstaller's "Application" tab: the applications last used
// within the age class (its frontDate is the newer end, its lastDate the older).
struct AppAgeGroup {
    OldTypeRef type;
    AppItemList apps;
};

// The applications by last use, newest group first: "within half a month",
// "half a month ago", "1 month ago", "3 months ago", "6 months ago", "1 year
// ago", "2 years ago" (bounds 1314000, 2628000, 7884000, 15768000, 31536000 and
// 63072000 seconds before now). An application goes to the first group whose
// range holds its last use; older ones, and those never used, to the last.
// Empty groups are left out; each group keeps the order of the list.
std::vector<AppAgeGroup> appAgeGroups(const AppItemList& apps, Date now);

} // namespace tessaly
