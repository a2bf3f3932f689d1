#include "cli/AliasCommand.h"

#include "ScanCode/alias/AliasFiles.h"
#include "ScanCode/alias/AliasHelper.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"

#include <filesystem>
#include <iostream>
#include <memory>

namespace tessaly::cli {

namespace {

struct AliasOptions {
    std::vector<std::string> folders;
    bool json = false;
    bool yes = false;
    bool brokenOnly = false;
    std::string alias, target;
};

ProblemList scan(AliasHelper& engine, const AliasOptions& options) {
    engine.setScanFolders(folderArguments(options.folders));
    return scanTool(engine).problems;
}

nlohmann::json aliasJson(const AliasObj& a, const std::vector<std::string>* candidates) {
    nlohmann::json j{{"path", a.path},
                     {"target", a.orgPath ? nlohmann::json(*a.orgPath) : nullptr},
                     {"size", a.size},
                     {"checked", a.isCheck}};
    if (candidates)
        j["candidates"] = *candidates;
    return j;
}

void printScan(const AliasHelper& engine, const ProblemList& problems, bool json) {
    const auto candidates = engine.candidateTargets();
    auto candidatesOf = [&candidates](const AliasObj& a) -> const std::vector<std::string>* {
        auto it = candidates.find(a.path);
        return it == candidates.end() ? nullptr : &it->second;
    };
    if (json) {
        nlohmann::json broken = nlohmann::json::array(), working = nlohmann::json::array();
        ScanModule brokenRow{"Broken aliases"}, workingRow{"Working aliases"};
        for (const auto& a : engine.alias(true)) {
            broken.push_back(aliasJson(*a, candidatesOf(*a)));
            brokenRow.add(a->size, a->isCheck);
        }
        for (const auto& a : engine.alias(false)) {
            working.push_back(aliasJson(*a, nullptr));
            workingRow.add(a->size, a->isCheck);
        }
        printJson(scanJson(engine, {brokenRow, workingRow}, problems,
                           {{"broken", broken}, {"working", working}}),
                  std::cout);
        return;
    }
    std::cout << "Broken aliases: " << engine.breakAliasCount() << "\n";
    for (const auto& a : engine.alias(true)) {
        std::cout << "  " << shown(a->path) << " -> "
                  << (a->orgPath ? shown(*a->orgPath) : std::string("(unreadable)")) << "\n";
        if (const auto* found = candidatesOf(*a))
            for (const auto& c : *found)
                std::cout << "      perhaps " << shown(c) << "\n";
    }
    std::cout << "Working aliases: " << engine.aliasCount() << "\n";
    for (const auto& a : engine.alias(false))
        std::cout << "  " << shown(a->path) << " -> " << shown(a->orgPath.value_or("")) << "\n";
    printProblems("Problems", problems, std::cout);
}

void fix(const AliasOptions& options) {
    auto info = fileattr::entryInfo(options.alias);
    if (!info.exists || !aliasfile::isAlias(options.alias, info))
        throw CommandExit(exitcode::Usage, "not an alias: " + shown(options.alias));
    std::error_code ec;
    std::string target = std::filesystem::absolute(options.target, ec).string();
    if (!fileops::itemExists(target) || ec)
        throw CommandExit(exitcode::Usage, "no such file or folder: " + shown(options.target));
    if (!AliasHelper::shareAliasHelper().fixAlias(options.alias, target))
        throw CommandExit(exitcode::Failure, "could not repair " + shown(options.alias));
    std::cout << shown(options.alias) << " now points to " << shown(target) << "\n";
}

} // namespace

void addAliasCommand(CLI::App& root) {
    auto options = std::make_shared<AliasOptions>();
    CLI::App* alias = root.add_subcommand(
        "alias", "Alias Finder: broken and working aliases (links and alias files)");
    alias->require_subcommand(1);

    CLI::App* scanCommand = alias->add_subcommand(
        "scan", "list broken and working aliases with their targets (and, for broken ones, "
                "files of the same name that could be the target)");
    scanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        AliasHelper& engine = AliasHelper::shareAliasHelper();
        ProblemList problems = scan(engine, *options);
        printScan(engine, problems, options->json);
    });

    CLI::App* cleanCommand = alias->add_subcommand(
        "clean", "remove the broken aliases (ticked by the scan; working ones are not)");
    cleanCommand->add_option("folders", options->folders, "folders to scan")->required();
    cleanCommand->add_flag("--broken-only", options->brokenOnly,
                           "remove broken aliases only, whatever else is ticked");
    addJsonFlag(*cleanCommand, options->json);
    addYesFlag(*cleanCommand, options->yes);
    cleanCommand->callback([options] {
        AliasHelper& engine = AliasHelper::shareAliasHelper();
        ProblemList problems = scan(engine, *options);
        if (options->brokenOnly)
            engine.setEnable(false, false);
        cleanTool(engine, {options->yes, options->json}, problems);
    });

    CLI::App* fixCommand =
        alias->add_subcommand("fix", "point an alias (a link or an alias file) at a new target");
    fixCommand->add_option("alias", options->alias, "the alias to repair")->required();
    fixCommand->add_option("target", options->target, "its new target")->required();
    fixCommand->callback([options] { fix(*options); });
}

} // namespace tessaly::cli
