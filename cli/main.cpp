// tessaly-cli: the command-line twin of the application.
#include "ScanCode/HelperPass.h"
#include "cli/AliasCommand.h"
#include "cli/AppsCommand.h"
#include "cli/BrowserCommand.h"
#include "cli/DuplicatesCommand.h"
#include "cli/EraseCommand.h"
#include "cli/ExitCodes.h"
#include "cli/ManPage.h"
#include "cli/MemoryCommand.h"
#include "cli/Names.h"
#include "cli/OldCommand.h"
#include "cli/Output.h"
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

// The commands the words name, from the program down ("system", "scan"). Names
// the command that does not exist ("sytem"), with the nearest one, where the
// parser alone would only say that a command is required. Options come before
// or after the commands; only the words that name commands are looked at.
std::vector<CLI::App*> commandPath(CLI::App& app, int argc, char** argv) {
    std::vector<CLI::App*> path{&app};
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word.empty() || word[0] == '-') {
            // The program's own option that takes a value passes it over.
            if (word == "--keep")
                ++i;
            continue;
        }
        auto commands = path.back()->get_subcommands([](CLI::App*) { return true; });
        if (commands.empty())
            break; // the rest are the command's own arguments
        CLI::App* next = nullptr;
        std::vector<std::string> known;
        for (CLI::App* c : commands) {
            known.push_back(c->get_name());
            if (c->check_name(word))
                next = c;
        }
        if (!next) {
            std::string message = "unknown command \"" + shown(word) + "\"";
            if (path.back() != &app)
                message += " of \"" + path.back()->get_name() + "\"";
            if (auto near = nearestName(word, known))
                message += "; did you mean \"" + *near + "\"?";
            std::string list;
            for (const std::string& k : known)
                list += (list.empty() ? "" : ", ") + k;
            throw CommandExit(exitcode::Usage, message + " (one of: " + list + ")");
        }
        path.push_back(next);
    }
    return path;
}

// For each option among the words that none of the commands on the path knows,
// the nearest one they know ("--jsn": did you mean "--json"?).
std::string optionHints(const std::vector<CLI::App*>& path, int argc, char** argv) {
    std::vector<std::string> known;
    for (CLI::App* command : path)
        for (const CLI::Option* option : command->get_options())
            for (const std::string& l : option->get_lnames())
                known.push_back("--" + l);
    std::string hints;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) != 0 || word.size() == 2)
            continue;
        word = word.substr(0, word.find('='));
        bool knownHere = false;
        for (CLI::App* command : path)
            knownHere = knownHere || command->get_option_no_throw(word) != nullptr;
        if (knownHere)
            continue;
        if (auto near = nearestName(word, known))
            hints += "tessaly-cli: unknown option \"" + shown(word) + "\"; did you mean \"" +
                     *near + "\"?\n";
    }
    return hints;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Tessaly command-line tools", "tessaly-cli"};
    app.fallthrough(); // the program's own flags (-v) may follow the commands too
    app.set_version_flag("--version", std::string("tessaly-cli ") + TESSALY_VERSION);
    bool man = false; // handled before parsing, as it needs no command
    app.add_flag("--man", man, "print this manual page (roff, for man(1)) and end");
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

    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--man") {
            std::cout << manPage(app, TESSALY_VERSION);
            return exitcode::Success;
        }

    std::vector<CLI::App*> path{&app};
    try {
        path = commandPath(app, argc, argv);
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // Every error begins with the program's name, the parser's too.
        std::string command = "tessaly-cli";
        for (std::size_t i = 1; i < path.size(); ++i)
            command += " " + path[i]->get_name();
        std::cerr << "tessaly-cli: " << e.what() << "\n"
                  << optionHints(path, argc, argv) << "Run \"" << command
                  << " --help\" for more information.\n";
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
