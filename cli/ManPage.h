#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tessaly::cli {

// The manual page tessaly-cli(1), in roff, built from the very descriptions
// that --help prints: the program's options, every command with its own, and
// the exit codes. The build writes it with "tessaly-cli --man".
std::string manPage(const CLI::App& root, const std::string& version);

} // namespace tessaly::cli
