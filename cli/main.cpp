// tessaly-cli: the command-line twin of the application.
#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Tessaly command-line tools", "tessaly-cli"};
    app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
    app.require_subcommand(0);
    CLI11_PARSE(app, argc, argv);
    std::cout << "tessaly-cli " << TESSALY_VERSION << "\n";
    return 0;
}
