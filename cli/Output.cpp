#include "cli/Output.h"

#include <ctime>

namespace tessaly::cli {

CLI::Option* addJsonFlag(CLI::App& command, bool& json) {
    return command.add_flag("--json", json, "print the result as JSON on standard output");
}

void printJson(const nlohmann::json& value, std::ostream& out) {
    out << value.dump(2) << "\n";
    out.flush();
}

nlohmann::json jsonDate(const std::optional<Date>& date) {
    if (!date)
        return nullptr;
    auto seconds = static_cast<std::time_t>(unixSeconds(*date));
    std::tm tm{};
    ::gmtime_r(&seconds, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(buf);
}

} // namespace tessaly::cli
