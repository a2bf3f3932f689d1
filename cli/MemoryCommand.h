#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli memory [--json]": a memory sample; "memory optimize": runs the
// memory-release program and says how much memory became free.
void addMemoryCommand(CLI::App& root);

} // namespace tessaly::cli
