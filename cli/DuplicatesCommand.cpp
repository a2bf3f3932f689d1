#include "cli/DuplicatesCommand.h"

#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"

#include <iostream>
#include <memory>

namespace tessaly::cli {

namespace {

struct DuplicatesOptions {
    std::vector<std::string> folders;
    bool json = false;
    bool yes = false;
};

ProblemList scan(DuplicateFile& engine, const DuplicatesOptions& options) {
    engine.setScanFolders(folderArguments(options.folders));
    return scanTool(engine).problems;
}

// The categories in their fixed order (the engine keeps them largest first).
std::vector<DuplicateInfoRef> inKindOrder(const DuplicateFile& engine) {
    std::vector<DuplicateInfoRef> out;
    for (int kind = 0; kind < dupkind::kCount; ++kind)
        for (const auto& info : engine.data)
            if (info->module == kind)
                out.push_back(info);
    return out;
}

nlohmann::json copyJson(const DupFileInfo& f) {
    nlohmann::json j{{"path", f.path},
                     {"size", f.fileSize},
                     {"remove", f.isCheck},
                     {"lastOpened", jsonDate(f.accessDate)}};
    if (!f.otherNames.empty())
        j["otherNames"] = f.otherNames;
    if (!f.freesSpace())
        j["freesSpace"] = false;
    return j;
}

void printScanJson(const DuplicateFile& engine, const ProblemList& problems) {
    nlohmann::json categories = nlohmann::json::array();
    std::vector<ScanModule> modules;
    std::size_t groupCount = 0;
    for (const auto& info : inKindOrder(engine)) {
        nlohmann::json groups = nlohmann::json::array();
        std::int64_t ticked = 0;
        for (const auto& g : info->dupFiles) {
            nlohmann::json copies = nlohmann::json::array();
            for (const auto& m : g->array) {
                copies.push_back(copyJson(*m));
                ticked += m->isCheck ? 1 : 0;
            }
            groups.push_back({{"keep", g->array.back()->path},
                              {"reclaimable", g->checkSize()},
                              {"copies", copies}});
        }
        groupCount += info->dupFiles.size();
        const std::string name = dupkind::moduleStr(info->module);
        categories.push_back({{"category", name},
                              {"name", name},
                              {"reclaimable", info->allSize()},
                              {"groups", groups}});
        modules.push_back(
            {name, info->allSizeNoCheck(), info->allCountNoCheck(), info->allSize(), ticked});
    }
    printJson(scanJson(engine, modules, problems,
                       {{"categories", categories},
                        {"groups", groupCount},
                        {"reclaimable", engine.allFileSizeWithoutCheck()}}),
              std::cout);
}

void printScanText(const DuplicateFile& engine, const ProblemList& problems) {
    std::size_t groupCount = 0;
    for (const auto& info : inKindOrder(engine)) {
        if (info->dupFiles.empty())
            continue;
        groupCount += info->dupFiles.size();
        std::cout << dupkind::moduleStr(info->module) << ": " << info->dupFiles.size()
                  << (info->dupFiles.size() == 1 ? " group, " : " groups, ")
                  << CommonFunction::getSizeString(info->allSize()) << " can be freed\n";
        for (const auto& g : info->dupFiles) {
            for (const auto& m : g->array) {
                std::cout << "  " << (m->isCheck ? "remove " : "keep   ") << shown(m->path) << "  "
                          << CommonFunction::getSizeString(m->fileSize) << "\n";
                for (const auto& name : m->otherNames)
                    std::cout << "         also named " << shown(name) << "\n";
                if (!m->freesSpace())
                    std::cout << "         (it has names outside these folders: removing it "
                                 "frees no space)\n";
            }
            std::cout << "\n";
        }
    }
    if (groupCount == 0)
        std::cout << "No duplicate files found.\n";
    else
        std::cout << groupCount << (groupCount == 1 ? " group" : " groups") << " of copies, "
                  << CommonFunction::getSizeString(engine.allFileSizeWithoutCheck())
                  << " can be freed\n";
    printProblems("Problems", problems, std::cout);
}

} // namespace

void addDuplicatesCommand(CLI::App& root) {
    auto options = std::make_shared<DuplicatesOptions>();
    CLI::App* duplicates =
        root.add_subcommand("duplicates", "find and remove duplicate files in folders");
    duplicates->require_subcommand(1);

    CLI::App* scanCommand = duplicates->add_subcommand(
        "scan", "list the groups of identical files (above 10,240 bytes) and the copy kept");
    scanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        DuplicateFile& engine = DuplicateFile::shareDuplicateFile();
        ProblemList problems = scan(engine, *options);
        if (options->json)
            printScanJson(engine, problems);
        else
            printScanText(engine, problems);
    });

    CLI::App* cleanCommand = duplicates->add_subcommand(
        "clean", "remove every copy but the kept one of each group of identical files");
    cleanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*cleanCommand, options->json);
    addYesFlag(*cleanCommand, options->yes);
    cleanCommand->callback([options] {
        DuplicateFile& engine = DuplicateFile::shareDuplicateFile();
        ProblemList problems = scan(engine, *options);
        cleanTool(engine, {options->yes, options->json}, problems);
    });
}

} // namespace tessaly::cli
