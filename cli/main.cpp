// tessaly-cli: the command-line twin of the application.
#include "cli/AppsCommand.h"
#include "cli/DuplicatesCommand.h"
#include "cli/ExitCodes.h"
#include "cli/StatusCommand.h"
#include "cli/SystemCommand.h"
#include "model/SettingModel.h"
#include "model/StartupSteps.h"
#include "platform/Log.h"

#include <CLI/CLI.hpp>
#include <iostream>

using namespace tessaly::cli;

int main(int argc, char** argv) {
    CLI::App app{"Tessaly command-line tools", "tessaly-cli"};
    app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
    app.footer(kExitCodeHelp);
    app.require_subcommand(1);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "also print the engines' log lines (on standard error)");
    app.parse_complete_callback([&verbose] { tessaly::log::setEnabled(verbose); });

    // Folder sizes round each file up to the home volume's block, as in the application.
    tessaly::SettingModel::shareSettingModel().blockSize = tessaly::startup::homeBlockSize();

    // One registration per command group.
    addStatusCommand(app);
    addAppsCommand(app);
    addSystemCommand(app);
    addDuplicatesCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return exitcode::Usage;
    } catch (const CommandExit& e) {
        if (*e.what())
            std::cerr << "tessaly-cli: " << e.what() << "\n";
        return e.code();
    } catch (const std::exception& e) {
        std::cerr << "tessaly-cli: " << e.what() << "\n";
        return exitcode::Failure;
    }
    return exitcode::Success;
}
