#include "model/StartupSteps.h"

#include "model/HomeAdvice.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/HomeLayout.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <sys/stat.h>

namespace tessaly::startup {

std::string dataFolderPath() {
    if (layout::current() == layout::HomeLayout::MacOS)
        return paths::join(paths::join(paths::homePath(), "Library/Application Support"), "Vellmo");
    return layout::appDataFolder();
}

bool writeInfoPlist(const std::string& mainPath) {
    std::string folder = dataFolderPath();
    if (!paths::makeDirectories(folder))
        return false;
    PlistValue::Dict info{{"mainPath", PlistValue(mainPath)}};
    return plist::writeFile(paths::join(folder, "info.plist"), PlistValue(info),
                            plist::Format::Xml);
}

bool recordFirstStart(UserDefaults& defaults) {
    if (defaults.hasKey(keys::FirstRun))
        return false;
    defaults.setInteger(keys::FirstRun, 1);
    return true;
}

std::int64_t loadCleanTotal(const UserDefaults& defaults) {
    return defaults.integerForKey(keys::totleCleanKey);
}

std::int64_t addCleanTotal(UserDefaults& defaults, std::int64_t current, std::int64_t bytes) {
    std::int64_t total = current + bytes;
    defaults.setInteger(keys::totleCleanKey, total);
    defaults.synchronize();
    return total;
}

std::int32_t homeBlockSize() {
    struct stat st {};
    if (::stat(paths::homePath().c_str(), &st) != 0)
        return 0;
    return static_cast<std::int32_t>(st.st_blksize);
}

bool soundEnabled(const UserDefaults& defaults) {
    auto v = defaults.objectForKey(keys::PlaySound);
    return !v || v->toBool(true);
}

bool updateLastStart(UserDefaults& defaults, Date now) {
    auto previous = defaults.dateForKey(keys::lastCleanDateKey);
    defaults.setDate(keys::lastCleanDateKey, now);
    return !previous || unixSeconds(now) - unixSeconds(*previous) > 2592000.0;
}

bool memoryIsLow(const std::optional<MemoryData>& memory) {
    auto ratio = freeMemoryRatio(memory);
    return ratio && *ratio < 0.3;
}

CoreStartupResult runCoreSteps(UserDefaults& defaults, SettingModel& settings,
                               const std::string& mainPath, std::optional<MemoryData> memory,
                               Date now) {
    CoreStartupResult result;
    writeInfoPlist(mainPath);
    result.firstStart = recordFirstStart(defaults);
    result.cleanTotle = loadCleanTotal(defaults);
    settings.blockSize = homeBlockSize();
    settings.playSound = soundEnabled(defaults);
    if (updateLastStart(defaults, now))
        settings.needClean = true;
    if (memoryIsLow(memory))
        settings.needCleanMemory = true;
    return result;
}

} // namespace tessaly::startup
