#pragma once

#include <CLI/CLI.hpp>

namespace tessaly::cli {

// "tessaly-cli erase PATH... [--yes]": the Eraser overwrites the files (every
// file inside the folders) and removes them.
void addEraseCommand(CLI::App& root);

} // namespace tessaly::cli
