#include "model/HomeAdvice.h"
#include "model/CleanFinish.h"
#include "model/CommonFunction.h"
#include "model/HomeSummary.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

const Date kNow = dateFromUnixSeconds(1'800'000'000);

Date daysAgo(double days) {
    return dateFromUnixSeconds(unixSeconds(kNow) - days * 86400.0);
}

// free / (free + active + inactive + wired) == ratio
MemoryData memoryWithFreeRatio(double ratio) {
    return MemoryData{ratio * 1000.0, (1.0 - ratio) * 500.0, (1.0 - ratio) * 300.0,
                      (1.0 - ratio) * 200.0};
}

std::vector<std::int64_t> tools(const HomeAdvice& a) {
    std::vector<std::int64_t> out;
    for (const auto& d : a.datas)
        out.push_back(d.tool);
    return out;
}

HomeAdviceInput laterRun() {
    HomeAdviceInput in;
    in.now = kNow;
    in.memory = memoryWithFreeRatio(0.9);
    return in;
}

} // namespace

TEST(HomeAdvice, FirstRunShowsTheFixedRowsWithoutInfo) {
    HomeAdviceInput in = laterRun();
    in.firstRun = true;
    in.systemLastClean = daysAgo(1); // ignored on a first run
    in.memory = memoryWithFreeRatio(0.1);
    HomeAdvice a = buildHomeAdvice(in);
    EXPECT_EQ(tools(a), (std::vector<std::int64_t>{1, 4, 8}));
    EXPECT_FALSE(a.showInfo);
    EXPECT_TRUE(a.firstRun);
    EXPECT_EQ(a.headline, kFirstRunHeadline);
    for (const auto& d : a.datas) {
        EXPECT_FALSE(d.date.has_value());
        EXPECT_EQ(homeRowInfo(d, a.showInfo), "");
    }
    EXPECT_EQ(std::string(kContinueLine),
              "All recommended tools finish, push \"conitune\" to select other tools");
}

TEST(HomeAdvice, LaterRunRulesInOrderAndAtMostThreeRows) {
    struct Case {
        const char* name;
        std::optional<double> system, duplicate, old, alias, browser; // days ago
        double freeRatio;
        std::vector<std::int64_t> expected;
    };
    const std::vector<Case> cases = {
        {"nothing stored, memory fine", {}, {}, {}, {}, {}, 0.9, {1, 4, 5}},
        {"nothing stored, memory low", {}, {}, {}, {}, {}, 0.2, {1, 4, 8}},
        {"all fresh", 1, 2, 3, 4, 5, 0.9, {}},
        {"all fresh, memory low", 1, 2, 3, 4, 5, 0.39, {8}},
        {"ratio 0.4 is not low", 1, 2, 3, 4, 5, 0.4, {}},
        {"14 days is not yet overdue", 13.99, 1, 1, 1, 1, 0.9, {}},
        {"just over 14 days is overdue", 14.01, 1, 1, 1, 1, 0.9, {1}},
        {"old, alias, browser fill up", 1, 1, 20, 20, 20, 0.9, {5, 7, 2}},
        {"browser only when room is left", 20, 1, 20, 20, 20, 0.9, {1, 5, 7}},
        {"memory before old files", 1, 1, 20, 20, 20, 0.1, {8, 5, 7}},
    };
    for (const auto& c : cases) {
        HomeAdviceInput in = laterRun();
        auto at = [](std::optional<double> d) {
            return d ? std::optional<Date>(daysAgo(*d)) : std::nullopt;
        };
        in.systemLastClean = at(c.system);
        in.duplicateLastClean = at(c.duplicate);
        in.oldLastClean = at(c.old);
        in.aliasLastClean = at(c.alias);
        in.browserLastClean = at(c.browser);
        in.memory = memoryWithFreeRatio(c.freeRatio);
        HomeAdvice a = buildHomeAdvice(in);
        EXPECT_EQ(tools(a), c.expected) << c.name;
        EXPECT_TRUE(a.showInfo) << c.name;
        EXPECT_FALSE(a.firstRun) << c.name;
    }
}

TEST(HomeAdvice, RowsCarryTheirDateOrMemoryRatio) {
    HomeAdviceInput in = laterRun();
    in.systemLastClean = daysAgo(20);
    in.duplicateLastClean = daysAgo(1);
    in.memory = memoryWithFreeRatio(0.25);
    HomeAdvice a = buildHomeAdvice(in);
    ASSERT_EQ(tools(a), (std::vector<std::int64_t>{1, 8, 5}));
    EXPECT_EQ(homeRowInfo(a.datas[0], true),
              "Last clean date:" + CommonFunction::dateStr(daysAgo(20)));
    EXPECT_NEAR(a.datas[1].memoryF, 0.25, 1e-6);
    EXPECT_EQ(homeRowInfo(a.datas[1], true), "Low Free memory 0.250");
    EXPECT_EQ(homeRowInfo(a.datas[2], true), ""); // never cleaned: no line
    EXPECT_EQ(homeRowInfo(a.datas[0], false), "");
}

TEST(HomeAdvice, NoMemorySampleRecommendsNoMemoryOptimization) {
    HomeAdviceInput in = laterRun();
    in.memory.reset();
    EXPECT_EQ(tools(buildHomeAdvice(in)), (std::vector<std::int64_t>{1, 4, 5}));
    EXPECT_FALSE(freeMemoryRatio(MemoryData{}).has_value());
}

TEST(HomeAdvice, HeadlineByWholeDaysSinceTheLastClean) {
    EXPECT_EQ(homeHeadline(std::nullopt, kNow), kRegularHeadline);
    EXPECT_EQ(homeHeadline(daysAgo(13.9), kNow), kRegularHeadline);
    EXPECT_EQ(homeHeadline(daysAgo(14), kNow), kFourteenDaysHeadline);
    EXPECT_EQ(homeHeadline(daysAgo(14.9), kNow), kFourteenDaysHeadline);
    EXPECT_EQ(homeHeadline(daysAgo(15), kNow), kLongTimeHeadline);
    EXPECT_EQ(homeHeadline(daysAgo(400), kNow), kLongTimeHeadline);
}

TEST(HomeAdvice, LoadRecordsTheFirstRunOnce) {
    test::TempTree tree;
    UserDefaults defaults(tree.path("d.plist"));
    HomeAdvice first = loadHomeAdvice(defaults, memoryWithFreeRatio(0.9), kNow);
    EXPECT_TRUE(first.firstRun);
    EXPECT_TRUE(defaults.boolForKey(keys::firstRunKey));
    defaults.setDate(keys::lastCleanDate, daysAgo(14.5));
    HomeAdvice second = loadHomeAdvice(defaults, memoryWithFreeRatio(0.9), kNow);
    EXPECT_FALSE(second.firstRun);
    EXPECT_EQ(second.headline, kFourteenDaysHeadline);
    EXPECT_EQ(tools(second), (std::vector<std::int64_t>{1, 4, 5}));
}

TEST(HomeAdvice, ContinueRows) {
    std::vector<std::int64_t> t;
    for (const auto& d : continueRows())
        t.push_back(d.tool);
    EXPECT_EQ(t, (std::vector<std::int64_t>{3, 5, 7}));
}

TEST(HomeSummary, AddsResultsByTool) {
    HomeSummary s;
    EXPECT_FALSE(s.line().has_value());

    CleanResult<int> files;
    files.fileCount = 3;
    files.iusse = 1;
    s.add(tool::DuplicatesFinder, cleanFinishInfo(tool::DuplicatesFinder, files).result);
    EXPECT_EQ(s.line(), "Cleaned:  3 Files");

    CleanReport report;
    report.removeCount = 2;
    report.removeSize = 1'500'000;
    report.removeIssue = 4;
    s.add(tool::SystemCleanup, cleanFinishInfo(tool::SystemCleanup, report).result);
    EXPECT_EQ(s.fileCount, 5);
    EXPECT_EQ(s.issueCount, 5);
    EXPECT_EQ(s.line(), "Cleaned:  " + CommonFunction::getSizeString(1'500'000));

    s.add(tool::BrowserCleanup, std::int64_t{7});
    s.add(tool::BrowserCleanup, 3);
    EXPECT_EQ(s.browserCount, 10);
    s.add(tool::MemoryOptimization, std::int64_t{40});
    s.add(tool::MemoryOptimization, std::int64_t{25});
    EXPECT_EQ(s.memoryCount, 25);

    // Results of the wrong kind change nothing.
    HomeSummary before = s;
    s.add(tool::MemoryOptimization, std::string("x"));
    s.add(tool::Eraser, std::int64_t{99});
    s.add(tool::BrowserCleanup, report);
    s.add(tool::AliasFinder, std::any());
    EXPECT_EQ(s.memoryCount, before.memoryCount);
    EXPECT_EQ(s.browserCount, before.browserCount);
    EXPECT_EQ(s.fileCount, before.fileCount);
    EXPECT_EQ(s.fileSize, before.fileSize);
}

TEST(ToolIndex, RowAndToolIndexMapBothWays) {
    const std::int64_t rowToTool[10] = {0, 1, 9, 2, 3, 4, 5, 6, 7, 8};
    for (std::int64_t row = 0; row < 10; ++row) {
        EXPECT_EQ(resetIndex(row), rowToTool[row]) << row;
        EXPECT_EQ(resetCellIndex(resetIndex(row)), row) << row;
    }
    for (std::int64_t v : {-1, 10, 11, 42}) {
        EXPECT_EQ(resetIndex(v), v);
        EXPECT_EQ(resetCellIndex(v), v);
    }
    EXPECT_EQ(toolInfo(10), nullptr);
    EXPECT_STREQ(toolInfo(9)->title, "System Security");
    EXPECT_STREQ(toolInfo(3)->homeName, "Unistaller");
    EXPECT_STREQ(toolInfo(3)->homeIcon, "home－uninstall-icon");
}

TEST(ToolIndex, SidebarResultTextCountsItemsForFourTools) {
    for (std::int64_t t : {2, 7, 8, 9})
        EXPECT_EQ(sidebarResultText(t, 12), "12 Items") << t;
    for (std::int64_t t : {1, 3, 4, 5, 6})
        EXPECT_EQ(sidebarResultText(t, 2'500'000), CommonFunction::getSizeString(2'500'000)) << t;
}

// On a Linux home the system's texts speak of the computer, never of a Mac; the
// macOS layout keeps every text as it is.
TEST(LayoutWording, ALinuxHomeHearsOfTheComputer) {
    struct Case {
        const char* mac;
        const char* linux;
    } cases[] = {
        {kFirstRunHeadline,
         "Follow the instructions below to improve the performance of your computer immediately!"},
        {"Carry out system cleanup for your beloved Mac regularly",
         "Carry out system cleanup for your beloved computer regularly"},
        {"Your Mac will run more smoothly.", "Your computer will run more smoothly."},
        {"Protected MAC from viruses", "Protected your computer from viruses"},
        {"Please Select Macintosh HD", "Please Select the start-up disk"},
        {"MacBook, Macs and iMac stay", "MacBook, Macs and iMac stay"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(forLayout(c.mac, layout::HomeLayout::Linux), c.linux) << c.mac;
        EXPECT_EQ(forLayout(c.mac, layout::HomeLayout::MacOS), c.mac);
    }
    test::ScopedEnv chosen("TESSALY_LAYOUT", "linux");
    for (double days : {1.0, 14.0, 20.0})
        EXPECT_EQ(homeHeadline(daysAgo(days), kNow).find("Mac"), std::string::npos) << days;
    HomeAdviceInput in = laterRun();
    in.firstRun = true;
    EXPECT_EQ(buildHomeAdvice(in).headline.find("Mac"), std::string::npos);
}
