#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli old scan DIR..." and "tessaly-cli old clean DIR...": the Old Files
// Finder's files unopened for a month or more and of 5 MB or more.
void addOldCommand(CLI::App& root);

} // namespace tessaly::cli
