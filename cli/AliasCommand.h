#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli alias scan|clean|fix": the Alias Finder's broken and working
// aliases (symbolic links and alias files), their removal and their repair.
void addAliasCommand(CLI::App& root);

} // namespace tessaly::cli
