#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "duplicates scan DIR... [--json]": the groups of identical files per category,
// with the copy that would be kept; "duplicates clean DIR... --yes": removes the
// copies a scan ticks (every copy but the kept one) and prints the result.
void addDuplicatesCommand(CLI::App& root);

} // namespace tessaly::cli
