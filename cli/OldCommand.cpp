#include "cli/OldCommand.h"

#include "ScanCode/old/OldFileScan.h"
#include "cli/Destructive.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"

#include <iostream>
#include <memory>

namespace tessaly::cli {

namespace {

struct OldOptions {
    std::vector<std::string> folders;
    bool json = false;
    bool yes = false;
};

ProblemList scan(OldFileScan& engine, const OldOptions& options) {
    engine.setScanFolders(folderArguments(options.folders));
    return scanTool(engine).problems;
}

nlohmann::json fileJson(const CustomFileInfo& f) {
    return {{"path", f.path},       {"size", f.size},         {"lastOpened", jsonDate(f.lastDate)},
            {"checked", f.isCheck}, {"package", f.isPackage}, {"reason", f.checkReason}};
}

void printScanJson(const OldFileScan& engine, const ProblemList& problems) {
    nlohmann::json ages = nlohmann::json::array();
    std::vector<ScanModule> modules;
    for (const auto& type : engine.data) {
        nlohmann::json classes = nlohmann::json::array();
        for (const auto& sizeClass : type->data) {
            nlohmann::json files = nlohmann::json::array();
            for (const auto& f : sizeClass->data)
                files.push_back(fileJson(*f));
            classes.push_back({{"name", sizeClass->name},
                               {"size", sizeClass->fileSize()},
                               {"count", sizeClass->fileCount()},
                               {"files", files}});
        }
        ages.push_back({{"name", type->name},
                        {"size", type->fileSize()},
                        {"count", type->fileCount()},
                        {"checkedSize", type->fileSizeWithCheck()},
                        {"sizeClasses", classes}});
        modules.push_back({type->name, type->fileSize(), type->fileCount(),
                           type->fileSizeWithCheck(), type->fileCountWithCheck()});
    }
    printJson(scanJson(engine, modules, problems, {{"ageClasses", ages}}), std::cout);
}

void printScanText(const OldFileScan& engine, const ProblemList& problems) {
    for (const auto& type : engine.data) {
        std::cout << type->name << ": ";
        if (type->fileCount() == 0) {
            std::cout << "nothing\n";
            continue;
        }
        std::cout << type->fileCount() << (type->fileCount() == 1 ? " file, " : " files, ")
                  << CommonFunction::getSizeString(type->fileSize()) << "\n";
        for (const auto& sizeClass : type->data) {
            std::cout << "  " << sizeClass->name << "\n";
            for (const auto& f : sizeClass->data)
                std::cout << "    " << (f->isCheck ? "[x] " : "[ ] ") << shown(f->path) << "  "
                          << CommonFunction::getSizeString(f->size) << "  last opened "
                          << CommonFunction::dateStr(f->lastDate)
                          << (f->checkReason.empty() ? "" : "  (" + f->checkReason + ")") << "\n";
        }
    }
    std::cout << engine.allCount() << (engine.allCount() == 1 ? " file, " : " files, ")
              << CommonFunction::getSizeString(engine.allSize()) << "; ticked "
              << CommonFunction::getSizeString(engine.allCheckSize()) << "\n";
    printProblems("Problems", problems, std::cout);
}

} // namespace

void addOldCommand(CLI::App& root) {
    auto options = std::make_shared<OldOptions>();
    CLI::App* old = root.add_subcommand(
        "old", "Old Files Finder: files of 5 MB or more unopened for a month or more");
    old->require_subcommand(1);

    CLI::App* scanCommand = old->add_subcommand(
        "scan", "list old large files by age and size, ticking likely leftovers");
    scanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        OldFileScan& engine = OldFileScan::shareOldFileScan();
        ProblemList problems = scan(engine, *options);
        if (options->json)
            printScanJson(engine, problems);
        else
            printScanText(engine, problems);
    });

    CLI::App* cleanCommand =
        old->add_subcommand("clean", "remove the old large files the scan ticks");
    cleanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*cleanCommand, options->json);
    addYesFlag(*cleanCommand, options->yes);
    cleanCommand->callback([options] {
        OldFileScan& engine = OldFileScan::shareOldFileScan();
        ProblemList problems = scan(engine, *options);
        cleanTool(engine, {options->yes, options->json}, problems);
    });
}

} // namespace tessaly::cli
