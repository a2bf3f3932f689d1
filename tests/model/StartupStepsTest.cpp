#include "model/StartupSteps.h"
#include "model/SettingKeys.h"
#include "model/SettingModel.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tessaly;

namespace {

const Date kNow = dateFromUnixSeconds(1'800'000'000);

Date secondsAgo(double s) {
    return dateFromUnixSeconds(unixSeconds(kNow) - s);
}

SettingEnvironment envFor(UserDefaults& d) {
    SettingEnvironment e;
    e.defaults = [&d]() -> UserDefaults& { return d; };
    e.preferredLanguages = [] { return std::vector<std::string>{}; };
    e.inputSourceLanguages = [] { return std::vector<std::string>{}; };
    return e;
}

} // namespace

TEST(StartupSteps, CoreStepsWriteInfoPlistAndSetTheFlags) {
    test::TempTree home;
    test::ScopedEnv env("TESSALY_HOME", home.root());
    UserDefaults defaults(home.path("d.plist"));
    SettingModel settings(envFor(defaults));

    auto first = startup::runCoreSteps(defaults, settings, "/opt/tessaly/bin/tessaly",
                                       MemoryData{20, 40, 30, 10}, kNow);
    EXPECT_TRUE(first.firstStart);
    EXPECT_EQ(first.cleanTotle, 0);
    auto info = plist::readFile(home.path("Library/Application Support/Vellmo/info.plist"));
    ASSERT_TRUE(info && info->dict());
    EXPECT_EQ(info->dict()->size(), 1u);
    EXPECT_EQ(info->stringForKey("mainPath"), "/opt/tessaly/bin/tessaly");
    EXPECT_EQ(defaults.integerForKey(keys::FirstRun), 1);
    EXPECT_EQ(defaults.dateForKey(keys::lastCleanDateKey), kNow);
    struct stat st {};
    ASSERT_EQ(::stat(home.root().c_str(), &st), 0);
    EXPECT_EQ(settings.blockSize.load(), static_cast<std::int32_t>(st.st_blksize));
    EXPECT_TRUE(settings.playSound.load());
    EXPECT_TRUE(settings.needClean.load());       // no previous start
    EXPECT_TRUE(settings.needCleanMemory.load()); // 20 of 100 pages free

    // Second start: not first, info.plist rewritten, total kept, sound off.
    defaults.setInteger(keys::totleCleanKey, 4096);
    defaults.setBool(keys::PlaySound, false);
    SettingModel again(envFor(defaults));
    auto second = startup::runCoreSteps(defaults, again, "/usr/bin/tessaly",
                                        MemoryData{50, 20, 20, 10}, kNow);
    EXPECT_FALSE(second.firstStart);
    EXPECT_EQ(second.cleanTotle, 4096);
    EXPECT_EQ(plist::readFile(home.path("Library/Application Support/Vellmo/info.plist"))
                  ->stringForKey("mainPath"),
              "/usr/bin/tessaly");
    EXPECT_FALSE(again.playSound.load());
    EXPECT_FALSE(again.needClean.load()); // previous start is kNow
    EXPECT_FALSE(again.needCleanMemory.load());
}

TEST(StartupSteps, CleanAdviceAfterThirtyDays) {
    test::TempTree tree;
    UserDefaults defaults(tree.path("d.plist"));
    defaults.setDate(keys::lastCleanDateKey, secondsAgo(2592000));
    EXPECT_FALSE(startup::updateLastStart(defaults, kNow));
    defaults.setDate(keys::lastCleanDateKey, secondsAgo(2592001));
    EXPECT_TRUE(startup::updateLastStart(defaults, kNow));
    EXPECT_EQ(defaults.dateForKey(keys::lastCleanDateKey), kNow);
}

TEST(StartupSteps, SoundAndMemoryRules) {
    test::TempTree tree;
    UserDefaults defaults(tree.path("d.plist"));
    EXPECT_TRUE(startup::soundEnabled(defaults)); // absent means on
    defaults.setBool(keys::PlaySound, true);
    EXPECT_TRUE(startup::soundEnabled(defaults));
    defaults.setBool(keys::PlaySound, false);
    EXPECT_FALSE(startup::soundEnabled(defaults));

    EXPECT_TRUE(startup::memoryIsLow(MemoryData{29, 71, 0, 0}));
    EXPECT_FALSE(startup::memoryIsLow(MemoryData{30, 70, 0, 0}));
    EXPECT_FALSE(startup::memoryIsLow(std::nullopt));
}

TEST(StartupSteps, AFolderInTheWayOfTheDataFolderIsIgnored) {
    test::TempTree home;
    test::ScopedEnv env("TESSALY_HOME", home.root());
    home.file("Library/Application Support/Vellmo", "a file, not a folder");
    EXPECT_FALSE(startup::writeInfoPlist("/x"));
}

TEST(StartupSteps, AddCleanTotalIsWrittenAtOnce) {
    test::TempTree tree;
    UserDefaults defaults(tree.path("d.plist"));
    std::int64_t total = startup::addCleanTotal(defaults, 100, 23);
    EXPECT_EQ(total, 123);
    UserDefaults reread(tree.path("d.plist"));
    EXPECT_EQ(reread.integerForKey(keys::totleCleanKey), 123);
}
