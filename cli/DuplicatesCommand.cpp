#include "cli/DuplicatesCommand.h"

#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "ScanCode/duplicate/FolderList.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "model/CommonFunction.h"
#include "model/SettingKeys.h"
#include "model/StartupSteps.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

namespace tessaly::cli {

namespace {

struct DuplicatesOptions {
    std::vector<std::string> folders;
    bool json = false;
    bool yes = false;
};

// The folders as real paths (a folder given through a link is walked as the
// folder itself), each once and none inside another.
std::vector<std::string> checkedFolders(const std::vector<std::string>& given) {
    std::vector<std::string> absolute;
    for (const auto& f : given) {
        std::error_code ec;
        if (!std::filesystem::is_directory(f, ec))
            throw CommandExit(exitcode::Usage, "not a folder: " + f);
        absolute.push_back(std::filesystem::canonical(f, ec).string());
    }
    return cleanFolderList(absolute);
}

// Scans on a worker thread while this thread shows the path being examined.
DuplicateFile& scan(const std::vector<std::string>& folders) {
    DuplicateFile& engine = DuplicateFile::shareDuplicateFile();
    ProgressLine progress;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    ObserverToken paths(
        center,
        center.addObserver(duplicatePathScanModuleFinsh, [&progress](const Notification& n) {
            if (auto p = std::any_cast<std::string>(&n.object))
                progress.update(*p);
        }));
    bool done = false;
    std::thread worker([&] {
        engine.listDupFile(folders);
        MainQueue::async([&done] { done = true; });
    });
    while (!MainQueue::runUntil([&done] { return done; }, std::chrono::milliseconds(200))) {
    }
    worker.join();
    MainQueue::drain();
    progress.clear();
    return engine;
}

nlohmann::json copyJson(const DupFileInfo& f) {
    return {{"path", f.path},
            {"size", f.fileSize},
            {"remove", f.isCheck},
            {"lastOpened", jsonDate(f.accessDate)}};
}

void printScan(const DuplicateFile& engine, bool json) {
    if (json) {
        nlohmann::json categories = nlohmann::json::array();
        std::size_t groupCount = 0;
        for (const auto& info : engine.data) {
            nlohmann::json groups = nlohmann::json::array();
            for (const auto& g : info->dupFiles) {
                nlohmann::json copies = nlohmann::json::array();
                for (const auto& m : g->array)
                    copies.push_back(copyJson(*m));
                groups.push_back({{"keep", g->array.back()->path},
                                  {"reclaimable", g->checkSize()},
                                  {"copies", copies}});
            }
            groupCount += info->dupFiles.size();
            categories.push_back({{"category", info->module},
                                  {"name", dupkind::moduleStr(info->module)},
                                  {"reclaimable", info->allSize()},
                                  {"groups", groups}});
        }
        printJson({{"categories", categories},
                   {"groups", groupCount},
                   {"reclaimable", engine.allFileSizeWithoutCheck()}},
                  std::cout);
        return;
    }
    std::size_t groupCount = 0;
    for (const auto& info : engine.data) {
        if (info->dupFiles.empty())
            continue;
        groupCount += info->dupFiles.size();
        std::cout << dupkind::moduleStr(info->module) << ": " << info->dupFiles.size()
                  << (info->dupFiles.size() == 1 ? " group, " : " groups, ")
                  << CommonFunction::getSizeString(info->allSize()) << " can be freed\n";
        for (const auto& g : info->dupFiles) {
            for (const auto& m : g->array)
                std::cout << "  " << (m->isCheck ? "remove " : "keep   ") << m->path << "  "
                          << CommonFunction::getSizeString(m->fileSize) << "\n";
            std::cout << "\n";
        }
    }
    if (groupCount == 0)
        std::cout << "No duplicate files found.\n";
    else
        std::cout << groupCount << (groupCount == 1 ? " group" : " groups") << " of copies, "
                  << CommonFunction::getSizeString(engine.allFileSizeWithoutCheck())
                  << " can be freed\n";
}

void runScan(const DuplicatesOptions& options) {
    printScan(scan(checkedFolders(options.folders)), options.json);
}

void runClean(const DuplicatesOptions& options) {
    DuplicateFile& engine = scan(checkedFolders(options.folders));
    if (!options.yes) {
        std::vector<PlannedRemoval> planned;
        for (const auto& info : engine.data)
            for (const auto& g : info->dupFiles)
                for (const auto& m : g->array)
                    if (m->isCheck)
                        planned.push_back({m->path, m->fileSize});
        printDryRun(planned, options.json, std::cout);
        return;
    }
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setDate(keys::duplicateLastCleanDateKey, now());
    DupCleanResult result = engine.clear();
    MainQueue::drain();
    startup::addCleanTotal(defaults, startup::loadCleanTotal(defaults), result.totleSize);
    if (options.json) {
        nlohmann::json left = nlohmann::json::array();
        for (const auto& m : result.cannotRemovePaths)
            left.push_back({{"path", m->path}, {"reason", m->notRemovedReason}});
        printJson(
            {{"removed", result.fileCount}, {"freed", result.totleSize}, {"notRemoved", left}},
            std::cout);
    } else {
        std::cout << "Removed " << result.fileCount << (result.fileCount == 1 ? " file" : " files")
                  << ", " << CommonFunction::getSizeString(result.totleSize) << " freed.\n";
        for (const auto& m : result.cannotRemovePaths)
            std::cout << "  not removed: " << m->path << " (" << m->notRemovedReason << ")\n";
    }
    if (!result.cannotRemovePaths.empty())
        throw CommandExit(exitcode::Partial);
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
    scanCommand->callback([options] { runScan(*options); });

    CLI::App* cleanCommand = duplicates->add_subcommand(
        "clean", "remove every copy but the kept one of each group of identical files");
    cleanCommand->add_option("folders", options->folders, "folders to scan")->required();
    addJsonFlag(*cleanCommand, options->json);
    addYesFlag(*cleanCommand, options->yes);
    cleanCommand->callback([options] { runClean(*options); });
}

} // namespace tessaly::cli
