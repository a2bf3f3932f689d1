#include "cli/StatusCommand.h"

#include "cli/Output.h"
#include "model/CommonFunction.h"
#include "model/Function.h"
#include "model/HomeAdvice.h"
#include "model/LayoutWording.h"
#include "model/SettingKeys.h"
#include "model/StartupSteps.h"
#include "model/ToolIndex.h"
#include "platform/HomeLayout.h"
#include "platform/UserDefaults.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

namespace tessaly::cli {

namespace {

struct DateKey {
    const char* name;
    const char* key;
};

constexpr DateKey kToolDates[] = {
    {"system", keys::systemLastCleanDateKey},        {"browser", keys::browserLastCleanDateKey},
    {"duplicates", keys::duplicateLastCleanDateKey}, {"old", keys::oldLastCleanDateKey},
    {"alias", keys::aliasLastCleanDateKey},
};

nlohmann::json rowJson(const ToolData& row, bool showInfo) {
    const ToolInfo* info = toolInfo(row.tool);
    nlohmann::json j{{"tool", row.tool},
                     {"command", info ? info->commandName : ""},
                     {"title", info ? info->title : ""},
                     {"homeName", info ? info->homeName : ""},
                     {"description", info ? forLayout(info->homeDescription) : ""},
                     {"date", jsonDate(row.date)},
                     {"info", homeRowInfo(row, showInfo)}};
    j["memoryF"] = row.memoryF > 0 ? nlohmann::json(static_cast<double>(row.memoryF))
                                   : nlohmann::json(nullptr);
    return j;
}

std::string jsonText(const nlohmann::json& v) {
    return v.is_string() ? v.get<std::string>() : std::string("never");
}

} // namespace

nlohmann::json memoryJson(const std::optional<MemoryData>& memory) {
    if (!memory)
        return nullptr;
    auto ratio = freeMemoryRatio(memory);
    double total = memory->free + memory->active + memory->inactive + memory->wired;
    auto pages = [](double count) { return static_cast<std::int64_t>(count); };
    return {{"freePages", pages(memory->free)},
            {"activePages", pages(memory->active)},
            {"inactivePages", pages(memory->inactive)},
            {"wiredPages", pages(memory->wired)},
            {"free", CommonFunction::getMemorySizeString2(memory->free)},
            {"total", CommonFunction::getMemorySizeString2(total)},
            {"freeRatio", ratio ? nlohmann::json(*ratio) : nlohmann::json(nullptr)},
            {"low", startup::memoryIsLow(memory)}};
}

nlohmann::json statusJson(const UserDefaults& defaults, const std::optional<MemoryData>& memory,
                          Date now) {
    HomeAdvice advice = buildHomeAdvice(HomeAdviceInput::fromDefaults(defaults, memory, now));
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : advice.datas)
        rows.push_back(rowJson(row, advice.showInfo));

    nlohmann::json dates{{"any", jsonDate(defaults.dateForKey(keys::lastCleanDate))}};
    for (const auto& d : kToolDates)
        dates[d.name] = jsonDate(defaults.dateForKey(d.key));

    std::int64_t total = startup::loadCleanTotal(defaults);
    return {{"layout", layout::name(layout::current())},
            {"memory", memoryJson(memory)},
            {"cleanedTotal", {{"bytes", total}, {"text", CommonFunction::getSizeString(total)}}},
            {"lastCleanDates", dates},
            {"lastStart", jsonDate(defaults.dateForKey(keys::lastCleanDateKey))},
            {"home",
             {{"firstRun", advice.firstRun},
              {"showInfo", advice.showInfo},
              {"headline", advice.headline},
              {"recommendations", rows}}}};
}

std::string statusText(const nlohmann::json& s) {
    std::ostringstream out;
    out << "Home layout:    " << s["layout"].get<std::string>() << "\n";
    const auto& mem = s["memory"];
    if (mem.is_null()) {
        out << "Memory:         no sample\n";
    } else {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.1f %%", mem["freeRatio"].get<double>() * 100.0);
        out << "Memory:         " << mem["free"].get<std::string>() << " free of "
            << mem["total"].get<std::string>() << " (" << ratio << ")"
            << (mem["low"].get<bool>() ? ", low" : "") << "\n";
    }
    out << "Cleaned total:  " << s["cleanedTotal"]["text"].get<std::string>() << "\n";
    out << "Last clean:     " << jsonText(s["lastCleanDates"]["any"]) << "\n";
    for (const auto& d : kToolDates)
        out << "  " << d.name << std::string(12 - std::string(d.name).size(), ' ')
            << jsonText(s["lastCleanDates"][d.name]) << "\n";
    out << "\n" << s["home"]["headline"].get<std::string>() << "\n";
    out << "Recommended:\n";
    if (s["home"]["recommendations"].empty())
        out << "  nothing now\n";
    for (const auto& row : s["home"]["recommendations"]) {
        std::string title = row["title"].get<std::string>();
        std::string info = row["info"].get<std::string>();
        out << "  " << title << std::string(title.size() < 21 ? 21 - title.size() : 1, ' ')
            << (info.empty() ? "-" : info) << "\n";
    }
    return out.str();
}

void addStatusCommand(CLI::App& root) {
    auto json = std::make_shared<bool>(false);
    CLI::App* cmd = root.add_subcommand(
        "status", "memory, total cleaned, last clean dates and the recommended tools");
    addJsonFlag(*cmd, *json);
    cmd->callback([json] {
        auto status = statusJson(UserDefaults::standardUserDefaults(),
                                 Function::shareMemoryFunction().memoryData(), now());
        if (*json)
            printJson(status, std::cout);
        else
            std::cout << statusText(status);
    });
}

} // namespace tessaly::cli
