#include "ScanCode/uninstall/AppAgeGroups.h"

#include <array>

namespace tessaly {

std::vector<AppAgeGroup> appAgeGroups(const AppItemList& apps, Date now) {
    struct Bound {
        const char* label;
        std::int64_t seconds; // the older end, before now
    };
    static constexpr std::array<Bound, 7> kGroups = {{
        {"within half a month", 1'314'000},
        {"half a month ago", 2'628'000},
        {"1 month ago", 7'884'000},
        {"3 months ago", 15'768'000},
        {"6 months ago", 31'536'000},
        {"1 year ago", 63'072'000},
        {"2 years ago", 0}, // everything older
    }};
    std::vector<AppAgeGroup> groups;
    Date newer = Date::max();
    for (const Bound& bound : kGroups) {
        Date older = bound.seconds ? now - std::chrono::seconds(bound.seconds) : Date::min();
        groups.push_back({OldType::initWithNil(bound.label, newer, older, "", ""), {}});
        newer = older;
    }
    for (const AppItemRef& item : apps) {
        std::size_t at = groups.size() - 1;
        if (item->lastOpenDate)
            for (std::size_t i = 0; i + 1 < groups.size(); ++i)
                if (*item->lastOpenDate >= groups[i].type->lastDate) {
                    at = i;
                    break;
                }
        groups[at].apps.push_back(item);
    }
    std::vector<AppAgeGroup> shown;
    for (AppAgeGroup& group : groups)
        if (!group.apps.empty())
            shown.push_back(std::move(group));
    return shown;
}

} // namespace tessaly
