// tessaly-cli: the command-line twin of the application.
#include "cli/AppsCommand.h"

#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Tessaly command-line tools", "tessaly-cli"};
    app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
    app.require_subcommand(1);
    tessaly::cli::addAppsCommand(app);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
