#include "cli/SystemCommand.h"

#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "model/CommonFunction.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <future>
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

// "User Cache", "user cache" and "user-cache" all name module 5.
std::string folded(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == ' ' || c == '_'
                   ? '-'
                   : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<int> parseModules(const std::vector<std::string>& names) {
    std::vector<int> out;
    for (const std::string& name : names) {
        int found = -1;
        for (int m = 0; m <= sysmodule::LastSelectable && found < 0; ++m)
            if (folded(moduleName(m)) == folded(name))
                found = m;
        if (found < 0) {
            std::string known;
            for (int m = 0; m <= sysmodule::LastSelectable; ++m)
                known += (m ? ", " : "") + folded(moduleName(m));
            throw CommandExit(exitcode::Usage,
                              "unknown module \"" + name + "\" (one of: " + known + ")");
        }
        if (std::find(out.begin(), out.end(), found) == out.end())
            out.push_back(found);
    }
    return out;
}

// Runs work on a background queue while this thread shows the paths announced.
template <typename T> T withProgress(const std::string& first, std::function<T()> work) {
    ProgressLine progress;
    progress.update(first);
    ObserverToken token(NotificationCenter::defaultCenter(),
                        NotificationCenter::defaultCenter().addObserver(
                            pathUpdateNotification, [&](const Notification& n) {
                                if (auto* path = std::any_cast<std::string>(&n.object))
                                    progress.update(*path);
                            }));
    auto result = std::make_shared<std::promise<T>>();
    auto future = result->get_future();
    GlobalQueue::async([work, result] { result->set_value(work()); });
    MainQueue::runUntil(
        [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        std::chrono::hours(24 * 365));
    MainQueue::drain();
    progress.clear();
    return future.get();
}

void scan(QSVCleanManager& manager, const SystemOptions& options) {
    std::vector<int> chosen = parseModules(options.modules);
    manager.setModuleFilter(chosen);
    std::vector<int> scanned = manager.modulesToScan();
    for (int m : chosen)
        if (std::find(scanned.begin(), scanned.end(), m) == scanned.end())
            std::cerr << "tessaly-cli: " << moduleName(m) << " is not scanned by this version\n";
    bool ran = withProgress<bool>("Initialize the engine...", [&manager] {
        SearchApplications::shareSearchApplications().buildCatalogue();
        manager.initDiscPath();
        return manager.scanDiskFile();
    });
    if (!ran)
        throw CommandExit(exitcode::Failure, "the scan was stopped");
}

std::string itemLabel(const ScaneOuputObject& item) {
    if (item.isLogin || item.path.empty())
        return "login item \"" + item.name + "\"";
    return item.path;
}

// What cleaning a ticked item does, one line per path it touches: an
// application's localisation folders, an executable that is thinned, a photo
// master that its preview replaces, or the item itself.
std::vector<PlannedRemoval> plannedFor(int module, const ScaneOuputObject& item) {
    std::vector<PlannedRemoval> out;
    if (!item.removePaths.empty()) {
        for (const std::string& path : item.removePaths)
            out.push_back({path, out.empty() ? item.fileSize : -1});
    } else if (module == sysmodule::Binary) {
        // Thinning frees space, but how much is not known before it runs.
        out.push_back({item.path + " (its executable thinned to this machine's processor)", -1});
    } else if (module == sysmodule::iPhotoCache && !item.prePath.empty()) {
        out.push_back(
            {item.path + " (replaced by its preview " + item.prePath + ")", item.fileSize});
    } else {
        out.push_back({itemLabel(item), item.fileSize});
    }
    return out;
}

template <typename F> void forEachLeaf(const ScanItemList& items, F f) {
    for (const ScanItem& item : items) {
        if (item->hasChildren())
            for (const ScanItem& child : *item->subObjects)
                f(*child);
        else
            f(*item);
    }
}

nlohmann::json itemJson(const ScaneOuputObject& item) {
    nlohmann::json j{{"name", item.name},
                     {"path", item.path},
                     {"size", item.fileSize},
                     {"checked", item.isCheck},
                     {"loginItem", item.isLogin}};
    if (!item.removePaths.empty())
        j["removePaths"] = item.removePaths;
    return j;
}

void printScan(const QSVCleanManager& manager, const SystemOptions& options) {
    auto store = manager.discData();
    if (options.json) {
        nlohmann::json modules = nlohmann::json::array();
        for (const auto& [module, list] : store) {
            nlohmann::json m{{"module", module},
                             {"name", moduleName(module)},
                             {"size", manager.totleSizeNoCheck(module)},
                             {"count", manager.issueCountNoCheck(module)},
                             {"checkedSize", manager.totleSize(module)},
                             {"checkedCount", manager.issueCount(module)}};
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
                m["items"] = items;
            }
            modules.push_back(m);
        }
        printJson({{"modules", modules},
                   {"totalSize", manager.totleSizeAllModule()},
                   {"totalCount", manager.totleIssueAllModule()}},
                  std::cout);
        return;
    }
    std::cout << "System Cleanup\n";
    for (const auto& [module, list] : store) {
        std::int64_t size = manager.totleSizeNoCheck(module);
        std::int64_t count = manager.issueCountNoCheck(module);
        std::printf("  %-22s %10s  %lld %s\n", moduleName(module).c_str(),
                    size > 0 ? CommonFunction::getSizeString(size).c_str() : "-",
                    static_cast<long long>(count),
                    module == sysmodule::BrokenLoginItems ? (count == 1 ? "issue" : "issues")
                                                          : (count == 1 ? "item" : "items"));
        if (!options.details)
            continue;
        for (const ScanItem& item : *list) {
            if (!item->hasChildren()) {
                std::printf("      %s  %s\n", itemLabel(*item).c_str(),
                            CommonFunction::getSizeString(item->fileSize).c_str());
                continue;
            }
            // A group (a language) with its applications and their folders.
            std::printf("      %s  %s\n", item->name.c_str(),
                        CommonFunction::getSizeString(item->fileSize).c_str());
            for (const ScanItem& child : *item->subObjects) {
                std::printf("          %s  %s\n", itemLabel(*child).c_str(),
                            CommonFunction::getSizeString(child->fileSize).c_str());
                for (const std::string& path : child->removePaths)
                    std::printf("              %s\n", path.c_str());
            }
        }
    }
    std::cout << "Total: " << CommonFunction::getSizeString(manager.totleSizeAllModule()) << " in "
              << manager.totleIssueAllModule() << " items\n";
    std::fflush(stdout);
}

void runScan(const SystemOptions& options) {
    QSVCleanManager& manager = QSVCleanManager::shareQSVCLean();
    scan(manager, options);
    printScan(manager, options);
}

void runClean(const SystemOptions& options) {
    QSVCleanManager& manager = QSVCleanManager::shareQSVCLean();
    scan(manager, options);
    if (!options.yes) {
        std::vector<PlannedRemoval> planned;
        for (const auto& [module, list] : manager.discData())
            forEachLeaf(*list, [&, module = module](const ScaneOuputObject& o) {
                if (!o.isCheck)
                    return;
                auto lines = plannedFor(module, o);
                planned.insert(planned.end(), lines.begin(), lines.end());
            });
        printDryRun(planned, options.json, std::cout);
        return;
    }
    CleanReport report =
        withProgress<CleanReport>("Cleaning...", [&manager] { return manager.clearDiskFile(); });
    std::vector<std::string> left;
    for (const auto& [module, list] : manager.discData())
        forEachLeaf(*list, [&](const ScaneOuputObject& o) {
            if (!o.isCheck || !o.canotRemove)
                return;
            if (o.removePaths.empty())
                left.push_back(itemLabel(o));
            else
                left.insert(left.end(), o.removePaths.begin(), o.removePaths.end());
        });
    if (options.json) {
        printJson({{"removed", report.removeCount},
                   {"removedSize", report.removeSize},
                   {"fixedIssues", report.removeIssue},
                   {"couldNotRemove", left}},
                  std::cout);
    } else {
        std::cout << "Removed " << report.removeCount
                  << (report.removeCount == 1 ? " item" : " items") << " ("
                  << CommonFunction::getSizeString(report.removeSize) << ")";
        if (report.removeIssue > 0)
            std::cout << ", " << report.removeIssue << " of them broken login items or jobs";
        std::cout << "\n";
        for (const std::string& path : left)
            std::cout << "Could not remove: " << path << "\n";
    }
    std::cout.flush();
    if (!left.empty())
        throw CommandExit(exitcode::Partial);
}

} // namespace

void addSystemCommand(CLI::App& root) {
    auto options = std::make_shared<SystemOptions>();
    CLI::App* system =
        root.add_subcommand("system", "System Cleanup: caches, logs, the Trash and more");
    system->require_subcommand(1);

    CLI::App* scanCommand =
        system->add_subcommand("scan", "scan and print each module's size and count");
    scanCommand->add_option(
        "--module", options->modules,
        "scan only this module (repeatable), e.g. \"User Cache\" or user-cache");
    scanCommand->add_flag("--details", options->details, "list every item");
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] { runScan(*options); });

    CLI::App* cleanCommand =
        system->add_subcommand("clean", "scan, then remove everything the scan ticks");
    cleanCommand->add_option("--module", options->modules, "clean only this module (repeatable)");
    addYesFlag(*cleanCommand, options->yes);
    addJsonFlag(*cleanCommand, options->json);
    cleanCommand->callback([options] { runClean(*options); });
}

} // namespace tessaly::cli
