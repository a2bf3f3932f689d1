#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli security scan|clean": System Security's malware scan of the whole
// disk (--system), the home folders (--home) or folders, with the shipped
// signatures and any signature files of the user's own.
void addSecurityCommand(CLI::App& root);

} // namespace tessaly::cli
