#include "cli/SystemCommand.h"

#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Names.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

namespace tessaly::cli {

namespace {

struct SystemOptions {
    std::vector<std::string> modules;
    bool json = false;
    bool details = false;
    bool yes = false;
};

// The modules of this layout as the command line spells them ("user-cache").
std::vector<std::string> knownModules() {
    std::vector<std::string> known;
    for (int m : selectableModules())
        if (layoutHasModule(m))
            known.push_back(commandSpelling(moduleName(m)));
    return known;
}

std::string knownModuleList() {
    std::string list;
    for (const std::string& name : knownModules())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

// "user-cache", "User Cache" and "user cache" all name module 5.
std::vector<int> parseModules(const std::vector<std::string>& names) {
    std::vector<int> out;
    for (const std::string& name : names) {
        int found = -1;
        for (int m : selectableModules())
            if (found < 0 && layoutHasModule(m) && namesThe(name, moduleName(m)))
                found = m;
        if (found < 0)
            throw CommandExit(exitcode::Usage, unknownNameMessage("module", name, knownModules()));
        if (std::find(out.begin(), out.end(), found) == out.end())
            out.push_back(found);
    }
    return out;
}

// Scans the chosen modules (with the catalogue the language, binary and
// leftover scans read) and returns what could not be read.
ProblemList scan(QSVCleanManager& manager, const SystemOptions& options) {
    std::vector<int> chosen = parseModules(options.modules);
    manager.setModuleFilter(chosen);
    std::vector<int> scanned = manager.modulesToScan();
    for (int m : chosen)
        if (std::find(scanned.begin(), scanned.end(), m) == scanned.end())
            std::cerr << "tessaly-cli: " << shown(moduleName(m))
                      << " is not scanned by this version\n";
    requireHomeFolder();
    runWithProgress("Initialize the engine...", [](std::stop_token, const ProgressSink&) {
        SearchApplications::shareSearchApplications().buildCatalogue();
    });
    return scanTool(manager).problems;
}

std::string itemLabel(const ScaneOuputObject& item) {
    if (item.isLogin || item.path.empty())
        return "login item \"" + item.name + "\"";
    return item.path;
}

nlohmann::json itemJson(const ScaneOuputObject& item) {
    nlohmann::json j{{"name", item.name},
                     {"path", item.path},
                     {"size", item.fileSize},
                     {"checked", item.isCheck},
                     {"loginItem", item.isLogin}};
    if (!item.removePaths.empty())
        j["removePaths"] = item.removePaths;
    if (!item.reason.empty())
        j["reason"] = item.reason;
    return j;
}

// "  (not ticked: costly to restore)" for an item a rule left unticked.
std::string untickedNote(const ScaneOuputObject& item) {
    return item.isCheck || item.reason.empty() ? "" : "  (not ticked: " + item.reason + ")";
}

void printScanJson(const QSVCleanManager& manager, const SystemOptions& options,
                   const ProblemList& problems) {
    std::vector<ScanModule> modules;
    for (const auto& [module, list] : manager.discData()) {
        ScanModule m{moduleName(module),
                     manager.totleSizeNoCheck(module),
                     manager.issueCountNoCheck(module),
                     manager.totleSize(module),
                     manager.issueCount(module),
                     {{"name", moduleName(module)}}};
        if (options.details) {
            nlohmann::json items = nlohmann::json::array();
            for (const ScanItem& item : *list) {
                if (!item->hasChildren()) {
                    items.push_back(itemJson(*item));
                    continue;
                }
                for (const ScanItem& child : *item->subObjects) {
                    nlohmann::json j = itemJson(*child);
                    j["group"] = item->name;
                    items.push_back(j);
                }
            }
            m.details["items"] = items;
        }
        modules.push_back(std::move(m));
    }
    printJson(scanJson(manager, modules, problems), std::cout);
}

void printScanText(const QSVCleanManager& manager, const SystemOptions& options,
                   const ProblemList& problems) {
    std::cout << "System Cleanup\n";
    for (const auto& [module, list] : manager.discData()) {
        std::int64_t size = manager.totleSizeNoCheck(module);
        std::int64_t count = manager.issueCountNoCheck(module);
        std::printf("  %-22s %10s  %lld %s\n", shown(moduleName(module)).c_str(),
                    size > 0 ? CommonFunction::getSizeString(size).c_str() : "-",
                    static_cast<long long>(count),
                    module == sysmodule::BrokenLoginItems ? (count == 1 ? "issue" : "issues")
                                                          : (count == 1 ? "item" : "items"));
        if (!options.details)
            continue;
        for (const ScanItem& item : *list) {
            if (!item->hasChildren()) {
                std::printf("      %s  %s%s\n", shown(itemLabel(*item)).c_str(),
                            CommonFunction::getSizeString(item->fileSize).c_str(),
                            untickedNote(*item).c_str());
                continue;
            }
            // A group (a language) with its applications and their folders.
            std::printf("      %s  %s\n", shown(item->name).c_str(),
                        CommonFunction::getSizeString(item->fileSize).c_str());
            for (const ScanItem& child : *item->subObjects) {
                std::printf(
                    "          %s  %s%s\n",
                    shown(item->path == child->path ? child->name : itemLabel(*child)).c_str(),
                    CommonFunction::getSizeString(child->fileSize).c_str(),
                    untickedNote(*child).c_str());
                for (const std::string& path : child->removePaths)
                    std::printf("              %s\n", shown(path).c_str());
            }
        }
    }
    std::fflush(stdout);
    std::cout << "Total: " << CommonFunction::getSizeString(manager.totleSizeAllModule()) << " in "
              << manager.totleIssueAllModule() << " items\n";
    printProblems("Problems", problems, std::cout);
}

} // namespace

void addSystemCommand(CLI::App& root) {
    auto options = std::make_shared<SystemOptions>();
    CLI::App* system =
        root.add_subcommand("system", "System Cleanup: caches, logs, the Trash and more");
    system->require_subcommand(1);
    const std::string moduleHelp = "one of: " + knownModuleList() +
                                   " (or the displayed name, e.g. \"User Cache\"); repeatable";

    CLI::App* scanCommand =
        system->add_subcommand("scan", "scan and print each module's size and count");
    scanCommand->add_option("--module", options->modules, "scan only this module: " + moduleHelp);
    scanCommand->add_flag("--details", options->details, "list every item");
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        QSVCleanManager& manager = QSVCleanManager::shareQSVCLean();
        ProblemList problems = scan(manager, *options);
        if (options->json)
            printScanJson(manager, *options, problems);
        else
            printScanText(manager, *options, problems);
    });

    CLI::App* cleanCommand =
        system->add_subcommand("clean", "scan, then clean everything the scan ticks");
    cleanCommand->add_option("--module", options->modules, "clean only this module: " + moduleHelp);
    addYesFlag(*cleanCommand, options->yes);
    addJsonFlag(*cleanCommand, options->json);
    cleanCommand->callback([options] {
        QSVCleanManager& manager = QSVCleanManager::shareQSVCLean();
        ProblemList problems = scan(manager, *options);
        cleanTool(manager, {options->yes, options->json}, problems);
    });
}

} // namespace tessaly::cli
