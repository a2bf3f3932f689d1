#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli browser scan" and "tessaly-cli browser clean": the Browser
// Cleanup's cookies, risky cookies, history, top sites, caches and session
// files of Safari, Chrome and Firefox.
void addBrowserCommand(CLI::App& root);

} // namespace tessaly::cli
