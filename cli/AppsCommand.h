#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// `apps`: the catalogue of installed applications; with --other the internet
// plug-ins, widgets and preference panes.
void addAppsCommand(CLI::App& root);

} // namespace tessaly::cli
