#include "model/CleanRecord.h"

#include "model/SettingKeys.h"
#include "model/StartupSteps.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"

namespace tessaly {

const char* lastCleanDateKey(std::int64_t index) {
    switch (index) {
    case tool::SystemCleanup:
        return keys::systemLastCleanDateKey;
    case tool::BrowserCleanup:
        return keys::browserLastCleanDateKey;
    case tool::DuplicatesFinder:
    case tool::SystemSecurity:
        return keys::duplicateLastCleanDateKey;
    case tool::OldFilesFinder:
        return keys::oldLastCleanDateKey;
    case tool::AliasFinder:
        return keys::aliasLastCleanDateKey;
    default:
        return nullptr;
    }
}

void recordCleanStart(UserDefaults& defaults, std::int64_t tool, Date when) {
    if (const char* key = lastCleanDateKey(tool))
        defaults.setDate(key, when);
}

std::int64_t recordCleanEnd(UserDefaults& defaults, std::int64_t bytes, Date when) {
    defaults.reload(); // another process may have added to the total since
    defaults.setDate(keys::lastCleanDate, when);
    // A user who cleans has begun: the home screen and "status" no longer
    // recommend from the first-run state, wherever the clean was started.
    if (!defaults.hasKey(keys::firstRunKey))
        defaults.setBool(keys::firstRunKey, true);
    return startup::addCleanTotal(defaults, startup::loadCleanTotal(defaults), bytes);
}

bool askBeforeCleaning(const UserDefaults& defaults) {
    auto value = defaults.objectForKey(keys::askBeforeCleaning);
    return !value || !value->isBool() || value->toBool();
}

bool setAskBeforeCleaning(UserDefaults& defaults, bool ask) {
    return defaults.setBool(keys::askBeforeCleaning, ask);
}

} // namespace tessaly
