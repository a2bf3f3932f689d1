#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tessaly::cli {

// The rule for every command that deletes, overwrites or uninstalls: it acts
// only with an explicit --yes; without it, it prints what it would remove and
// removes nothing.
CLI::Option* addYesFlag(CLI::App& command, bool& yes);

// One entry a destructive command would remove.
struct PlannedRemoval {
    std::string path;
    std::int64_t size = -1; // bytes; negative when unknown
};

// Prints the dry-run list: as text ("Would remove ...", then one line per entry
// and a reminder of --yes), or as JSON {"dryRun": true, "wouldRemove": [...],
// "totalSize": n}.
void printDryRun(const std::vector<PlannedRemoval>& items, bool json, std::ostream& out);

} // namespace tessaly::cli
