// The module catalogue, the module switches, totals and ticks, and the report chart.
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "tests/ScanCode/system/SystemFixture.h"

#include <gtest/gtest.h>

using namespace tessaly;
using test::group;
using test::item;

TEST(SystemModules, NamesAndTheThreeIconFamilies) {
    struct Case {
        std::int64_t module;
        const char *name, *list, *set, *ok;
    };
    for (const Case& c : {
             Case{0, "IOS Software Updates", "ios-software-update-icon",
                  "ios-software-update-icon-set", "ios-software-update-icon(140)"},
             Case{2, "Broken LoginItems", "broken-login-icon", "broken-login-icon-set",
                  "broken-login-icon(140)"},
             Case{9, "Mail Attachments", "mail-icon", "mail-icon", "mail-icon(140)"},
             Case{11, "App Leftover", "broken-preference-icon", "broken-preference-icon-set",
                  "broken-preference-icon(140)"},
             Case{12, "Language", "language1-icon", "language1-icon-set", "language-icon(140)"},
             Case{14, "Bad Alias", "Bad Alias", "Bad Alias", "Bad Alias"},
             Case{20, "Internet Cache", "Internet Cache", "Internet Cache", "Internet Cache"},
             Case{21, "Recent Documents", "recent-documents-icon", "recent-documents-icon-set",
                  "recent-documents-icon(140)"},
             Case{22, "Shell History", "shell-history-icon", "shell-history-icon-set",
                  "shell-history-icon(140)"},
             Case{23, "Other", "system-cache-icon", "system-cache-icon-set",
                  "system-cache-icon(140)"},
             Case{-1, "Other", "system-cache-icon", "system-cache-icon-set",
                  "system-cache-icon(140)"},
         }) {
        EXPECT_EQ(QSVCleanManager::convertModule(c.module), c.name);
        EXPECT_EQ(QSVCleanManager::convertImageModule(c.module), c.list) << c.module;
        EXPECT_EQ(QSVCleanManager::convertSetImageModule(c.module), c.set) << c.module;
        EXPECT_EQ(QSVCleanManager::convertOkImageModule(c.module), c.ok) << c.module;
    }
    EXPECT_EQ(moduleForName("User Cache"), sysmodule::UserCache);
    EXPECT_EQ(moduleForName("user cache"), -1);
}

TEST(QSVCleanManager, SwitchesAreKeyedByDisplayNameAndOrderTheScan) {
    test::SystemMachine m;
    auto manager = m.manager();
    // Every selectable module, in queuing order.
    EXPECT_EQ(manager->modulesToScan(),
              (std::vector<int>{5, 6, 11, 2, 4, 12, 3, 0, 1, 10, 7, 9, 8}));
    for (int module = 0; module <= sysmodule::LastSelectable; ++module)
        if (module != sysmodule::Trash)
            manager->setModuleEnabled(module, false);
    EXPECT_FALSE(m.defaults.boolForKey("User Cache"));
    EXPECT_TRUE(manager->moduleEnabled(sysmodule::Trash));
    EXPECT_EQ(manager->modulesToScan(), std::vector<int>{sysmodule::Trash});
    // Only the modules 0-12 and the privacy ones can be switched.
    manager->setModuleEnabled(sysmodule::Cookie, true);
    EXPECT_FALSE(m.defaults.hasKey("Cookie"));
    EXPECT_FALSE(manager->moduleEnabled(sysmodule::Cookie));
}

TEST(QSVCleanManager, TotalsCountLeavesAndTicksApplyToLeaves) {
    test::SystemMachine m;
    auto manager = m.manager();
    auto lang = group("French", {item("/a/fr.lproj", 100), item("/b/fr.lproj", 50, false)});
    manager->scanDisk->finishScan({lang, item("/c", 7)}, sysmodule::Language);
    manager->scanDisk->finishScan({item("/log", 0), item("/log2", 0, false)},
                                  sysmodule::BrokenLoginItems);

    EXPECT_EQ(manager->totleSize(sysmodule::Language), 107);
    EXPECT_EQ(manager->totleSizeNoCheck(sysmodule::Language), 157);
    EXPECT_EQ(manager->issueCount(sysmodule::Language), 2);
    EXPECT_EQ(manager->issueCountNoCheck(sysmodule::Language), 3);
    EXPECT_EQ(manager->totleIssueAllModule(), 3);
    EXPECT_EQ(manager->totleIssueNoCheckAllModule(), 5);
    EXPECT_EQ(manager->totleSizeAllModule(), 107);
    EXPECT_EQ(QSVCleanManager::checkStatus(*manager->moduleItems(sysmodule::Language)), 1);

    ModuleData logins = manager->moduleData(sysmodule::BrokenLoginItems);
    EXPECT_EQ(logins.issueCount, 1);
    EXPECT_EQ(logins.issueCountNoCheck, 2);
    EXPECT_EQ(manager->moduleData(sysmodule::Language).issueCount, 0); // modules with size

    manager->setCheck(sysmodule::Language, true);
    EXPECT_EQ(QSVCleanManager::checkStatus(*manager->moduleItems(sysmodule::Language)), 2);
    EXPECT_FALSE(lang->isCheck); // a group's own tick is left alone
    manager->setAllCheck(false);
    EXPECT_FALSE(manager->hasCheck(sysmodule::Language));
    EXPECT_FALSE(manager->hasCheck(sysmodule::BrokenLoginItems));
    EXPECT_EQ(QSVCleanManager::checkStatus(*manager->moduleItems(sysmodule::Language)), 0);
    EXPECT_EQ(QSVCleanManager::checkStatus({}), 0);
    EXPECT_FALSE(manager->bScanFinsh(sysmodule::Trash));
    EXPECT_TRUE(manager->bScanFinsh(sysmodule::Language));
}

TEST(QSVCleanManager, ChartSharesTopFourAndOther) {
    test::SystemMachine m;
    auto manager = m.manager();
    EXPECT_TRUE(manager->scanResult().empty()); // no items at all

    manager->scanDisk->finishScan({item("/big", 1000000)}, sysmodule::UserCache);
    manager->scanDisk->finishScan({item("/tiny", 10)}, sysmodule::Trash);
    auto lines = manager->scanResult();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "User Cache");
    EXPECT_FLOAT_EQ(lines[0].b, 0.99999f);
    EXPECT_EQ(lines[1].name, "Trash");
    EXPECT_EQ(lines[1].b, 0.0055555557f);
    EXPECT_EQ(lines[1].size, 10);

    // Six modules: the four largest, then "Other" with the rest; equal sizes keep
    // the store's order.
    for (auto [module, size] : std::vector<std::pair<int, std::int64_t>>{
             {0, 40}, {1, 10}, {2, 30}, {3, 20}, {4, 10}, {6, 5}})
        manager->scanDisk->finishScan({item("/m" + std::to_string(module), size)}, module);
    manager->scanDisk->finishScan({}, sysmodule::UserCache);
    manager->scanDisk->finishScan({}, sysmodule::Trash);
    lines = manager->scanResult();
    std::vector<std::string> names;
    for (const auto& l : lines)
        names.push_back(l.name);
    EXPECT_EQ(names, (std::vector<std::string>{"IOS Software Updates", "Broken LoginItems",
                                               "System Log", "IOS Photo Cache", "Other"}));
    EXPECT_EQ(lines.back().size, 15);
    EXPECT_FLOAT_EQ(lines.back().b, 15.0f / 115.0f);

    // Nothing ticked anywhere: the chart counts items.
    manager->setAllCheck(false);
    manager->scanDisk->finishScan({item("/x", 0), item("/y", 0)}, sysmodule::Trash);
    manager->scanDisk->finishScan({item("/z", 0)}, sysmodule::UserLog);
    lines = manager->scanResult();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "Trash");
    EXPECT_EQ(lines[0].files, 2);
    EXPECT_FLOAT_EQ(lines[0].b, 2.0f / 3.0f);
    EXPECT_EQ(lines[1].files, 1);
}
