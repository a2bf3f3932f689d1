#include "model/HomeAdvice.h"

#include "model/CommonFunction.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/ToolIndex.h"
#include "platform/UserDefaults.h"

#include <chrono>
#include <cstdio>

namespace tessaly {

HomeAdviceInput HomeAdviceInput::fromDefaults(const UserDefaults& defaults,
                                              std::optional<MemoryData> memory, Date now) {
    HomeAdviceInput in;
    in.firstRun = !defaults.hasKey(keys::firstRunKey);
    in.systemLastClean = defaults.dateForKey(keys::systemLastCleanDateKey);
    in.duplicateLastClean = defaults.dateForKey(keys::duplicateLastCleanDateKey);
    in.oldLastClean = defaults.dateForKey(keys::oldLastCleanDateKey);
    in.aliasLastClean = defaults.dateForKey(keys::aliasLastCleanDateKey);
    in.browserLastClean = defaults.dateForKey(keys::browserLastCleanDateKey);
    in.lastCleanDate = defaults.dateForKey(keys::lastCleanDate);
    in.memory = memory;
    in.now = now;
    return in;
}

std::optional<double> freeMemoryRatio(const std::optional<MemoryData>& memory) {
    if (!memory)
        return std::nullopt;
    double total = memory->free + memory->active + memory->inactive + memory->wired;
    if (total <= 0)
        return std::nullopt;
    return memory->free / total;
}

namespace {

bool overdue(const std::optional<Date>& date, Date now) {
    if (!date)
        return true;
    return unixSeconds(*date) < unixSeconds(now) - kOverdueSeconds;
}

ToolData row(std::int64_t toolIndex, const std::optional<Date>& date) {
    ToolData d;
    d.tool = toolIndex;
    d.date = date;
    return d;
}

} // namespace

std::string homeHeadline(const std::optional<Date>& lastCleanDate, Date now) {
    if (lastCleanDate) {
        auto days =
            static_cast<std::int64_t>((unixSeconds(now) - unixSeconds(*lastCleanDate)) / 86400.0);
        if (days > 13)
            return forLayout(days == 14 ? kFourteenDaysHeadline : kLongTimeHeadline);
    }
    return forLayout(kRegularHeadline);
}

HomeAdvice buildHomeAdvice(const HomeAdviceInput& in) {
    HomeAdvice advice;
    if (in.firstRun) {
        advice.firstRun = true;
        advice.showInfo = false;
        advice.datas = {row(tool::SystemCleanup, std::nullopt),
                        row(tool::DuplicatesFinder, std::nullopt),
                        row(tool::MemoryOptimization, std::nullopt)};
        advice.headline = forLayout(kFirstRunHeadline);
        return advice;
    }
    advice.showInfo = true;
    auto& rows = advice.datas;
    if (overdue(in.systemLastClean, in.now))
        rows.push_back(row(tool::SystemCleanup, in.systemLastClean));
    if (overdue(in.duplicateLastClean, in.now))
        rows.push_back(row(tool::DuplicatesFinder, in.duplicateLastClean));
    if (rows.size() < 3) {
        auto ratio = freeMemoryRatio(in.memory);
        if (ratio && *ratio < kHomeFreeMemoryRatio) {
            ToolData d = row(tool::MemoryOptimization, std::nullopt);
            d.memoryF = static_cast<float>(*ratio);
            rows.push_back(d);
        }
    }
    if (rows.size() < 3 && overdue(in.oldLastClean, in.now))
        rows.push_back(row(tool::OldFilesFinder, in.oldLastClean));
    if (rows.size() < 3 && overdue(in.aliasLastClean, in.now))
        rows.push_back(row(tool::AliasFinder, in.aliasLastClean));
    if (rows.size() < 3 && overdue(in.browserLastClean, in.now))
        rows.push_back(row(tool::BrowserCleanup, in.browserLastClean));
    advice.headline = homeHeadline(in.lastCleanDate, in.now);
    return advice;
}

std::vector<ToolData> continueRows() {
    return {row(tool::Uninstaller, std::nullopt), row(tool::OldFilesFinder, std::nullopt),
            row(tool::AliasFinder, std::nullopt)};
}

std::string homeRowInfo(const ToolData& d, bool showInfo) {
    if (!showInfo)
        return {};
    if (d.tool == tool::MemoryOptimization && d.memoryF > 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Low Free memory %.3f", static_cast<double>(d.memoryF));
        return buf;
    }
    if (d.date)
        return "Last clean date:" + CommonFunction::dateStr(*d.date);
    return {};
}

HomeAdvice loadHomeAdvice(UserDefaults& defaults, std::optional<MemoryData> memory, Date now) {
    HomeAdviceInput in = HomeAdviceInput::fromDefaults(defaults, memory, now);
    if (in.firstRun)
        defaults.setBool(keys::firstRunKey, true);
    return buildHomeAdvice(in);
}

} // namespace tessaly
