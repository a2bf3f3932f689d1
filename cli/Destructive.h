#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// The rule for every command that deletes, overwrites or uninstalls: it acts
// only with an explicit --yes; without it, it prints what it would do (the plan,
// see ToolDriver.h) and changes nothing.
CLI::Option* addYesFlag(CLI::App& command, bool& yes);

} // namespace tessaly::cli
