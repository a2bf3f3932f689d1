// tessaly-cli: the command-line twin of the application.
#include "ScanCode/HelperPass.h"
#include "cli/AliasCommand.h"
#include "cli/AppsCommand.h"
#include "cli/BrowserCommand.h"
#include "cli/DuplicatesCommand.h"
#include "cli/EraseCommand.h"
#include "cli/ExitCodes.h"
#include "cli/MemoryCommand.h"
#include "cli/OldCommand.h"
#include "cli/SecurityCommand.h"
#include "cli/StatusCommand.h"
#include "cli/SystemCommand.h"
#include "model/KeptPaths.h"
#include "model/SettingModel.h"
#include "model/StartupSteps.h"
#include "platform/Log.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

using namespace tessaly::cli;

namespace {

// Names the command that does not exist ("sytem"), where the parser alone would
// only say that a command is required. Options come before or after the
// commands; only the words that name commands are looked at.
void checkCommandNames(CLI::App& app, int argc, char** argv) {
    CLI::App* current = &app;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word.empty() || word[0] == '-') {
            // The program's own option that takes a value passes it over.
            if (word == "--keep")
                ++i;
            continue;
        }
        auto commands = current->get_subcommands([](CLI::App*) { return true; });
        if (commands.empty())
            return; // the rest are the command's own arguments
        CLI::App* next = nullptr;
        for (CLI::App* c : commands)
            if (c->check_name(word))
                next = c;
        if (!next) {
            std::string known;
            for (CLI::App* c : commands)
                known += (known.empty() ? "" : ", ") + c->get_name();
            std::string where = current == &app ? "" : " of \"" + current->get_name() + "\"";
            throw CommandExit(exitcode::Usage, "unknown command \"" + word + "\"" + where +
                                                   " (one of: " + known + ")");
        }
        current = next;
    }
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Tessaly command-line tools", "tessaly-cli"};
    app.fallthrough(); // the program's own flags (-v) may follow the commands too
    app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
    app.footer(kExitCodeHelp);
    app.require_subcommand(1);
    bool verbose = false, noHelper = false;
    app.add_flag("-v,--verbose", verbose, "also print the engines' log lines (on standard error)");
    app.add_flag("--no-helper", noHelper,
                 "never ask the privileged helper (nor for administrator rights): what you may "
                 "not remove yourself is left in place");
    std::vector<std::string> keep;
    app.add_option("--keep", keep,
                   "a path no scan lists this time, nor removes with a folder that holds it "
                   "(repeatable; added to the kept paths of the settings)")
        ->type_name("PATH")
        ->allow_extra_args(false); // one path each time: the command follows
    app.parse_complete_callback([&verbose, &noHelper, &keep] {
        tessaly::log::setEnabled(verbose);
        tessaly::setPrivilegedHelperEnabled(!noHelper);
        for (const std::string& path : keep)
            tessaly::keptpaths::keepForThisRun(path);
    });

    // Folder sizes round each file up to the home volume's block, as in the application.
    tessaly::SettingModel::shareSettingModel().blockSize = tessaly::startup::homeBlockSize();

    // One registration per command group.
    addStatusCommand(app);
    addAppsCommand(app);
    addSystemCommand(app);
    addBrowserCommand(app);
    addDuplicatesCommand(app);
    addOldCommand(app);
    addAliasCommand(app);
    addEraseCommand(app);
    addSecurityCommand(app);
    addMemoryCommand(app);

    try {
        checkCommandNames(app, argc, argv);
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
