#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "system scan" and "system clean": the System Cleanup from the command line.
void addSystemCommand(CLI::App& root);

} // namespace tessaly::cli
