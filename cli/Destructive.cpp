#include "cli/Destructive.h"

#include "cli/Output.h"
#include "model/CommonFunction.h"

namespace tessaly::cli {

CLI::Option* addYesFlag(CLI::App& command, bool& yes) {
    return command.add_flag(
        "-y,--yes", yes, "really remove; without it the command only lists what it would remove");
}

void printDryRun(const std::vector<PlannedRemoval>& items, bool json, std::ostream& out) {
    std::int64_t total = 0;
    for (const auto& item : items)
        if (item.size > 0)
            total += item.size;
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& item : items) {
            nlohmann::json entry{{"path", item.path}};
            entry["size"] = item.size >= 0 ? nlohmann::json(item.size) : nlohmann::json(nullptr);
            list.push_back(entry);
        }
        printJson({{"dryRun", true}, {"wouldRemove", list}, {"totalSize", total}}, out);
        return;
    }
    out << "Would remove " << items.size() << (items.size() == 1 ? " item" : " items") << " ("
        << CommonFunction::getSizeString(total) << "):\n";
    for (const auto& item : items) {
        out << "  " << item.path;
        if (item.size >= 0)
            out << "  " << CommonFunction::getSizeString(item.size);
        out << "\n";
    }
    out << "Nothing was removed. Run again with --yes to remove these items.\n";
}

} // namespace tessaly::cli
