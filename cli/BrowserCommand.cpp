#include "cli/BrowserCommand.h"

#include "ScanCode/browser/BroswerManager.h"
#include "ScanCode/browser/BrowserModules.h"
#include "ScanCode/browser/BrowserPlaces.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Names.h"
#include "cli/Output.h"
#include "cli/ToolDriver.h"
#include "model/CommonFunction.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

namespace tessaly::cli {

namespace {

using browser::ModuleKind;

struct BrowserOptions {
    std::vector<std::string> browsers;
    std::vector<std::string> modules;
    bool json = false;
    bool details = false;
    bool yes = false;
};

// The modules as the command line spells them ("chrome-cookie").
std::vector<std::string> knownModules() {
    std::vector<std::string> known;
    for (const browser::ModuleInfo& m : browser::moduleTable())
        known.push_back(commandSpelling(m.name));
    return known;
}

// The chosen browsers' types (every one the home's layout knows when none is
// named; Safari has no place on a Linux home).
std::set<int> chosenBrowsers(const std::vector<std::string>& names) {
    const BrowserLayout& layout = currentBrowserLayout();
    std::set<int> out;
    for (const std::string& name : names) {
        const std::string n = text::asciiLowercase(name);
        int type = n == "safari"                   ? browser::Safari
                   : n == "chrome" || n == "chrom" ? browser::Chrome
                   : n == "firefox"                ? browser::Firefox
                                                   : -1;
        if (type < 0)
            throw CommandExit(exitcode::Usage,
                              "unknown browser \"" + name + "\" (one of: safari, chrome, firefox)");
        if (!offersBrowser(layout, type))
            throw CommandExit(exitcode::Usage, "this home's layout has no place for \"" + name +
                                                   "\" (TESSALY_LAYOUT)");
        out.insert(type);
    }
    if (out.empty())
        for (int type : {browser::Safari, browser::Chrome, browser::Firefox})
            if (offersBrowser(layout, type))
                out.insert(type);
    return out;
}

// The modules the command works on, in module order.
std::vector<const browser::ModuleInfo*> chosenModules(const BrowserOptions& options) {
    const std::set<int> browsers = chosenBrowsers(options.browsers);
    std::set<int> named;
    for (const std::string& name : options.modules) {
        const browser::ModuleInfo* found = nullptr;
        for (const browser::ModuleInfo& m : browser::moduleTable())
            if (namesThe(name, m.name))
                found = &m;
        if (!found)
            throw CommandExit(exitcode::Usage, unknownNameMessage("module", name, knownModules()));
        named.insert(found->index);
    }
    std::vector<const browser::ModuleInfo*> out;
    for (const browser::ModuleInfo& m : browser::moduleTable())
        if (browsers.count(m.browser) && (named.empty() || named.count(m.index)))
            out.push_back(&m);
    return out;
}

ProblemList scan(BroswerManager& manager) {
    for (const RunningBrowser& b : manager.hasBrowserRun())
        std::cerr << "tessaly-cli: " << shown(b.name)
                  << " is running; quit it for a complete scan (its databases may be in use)\n";
    return scanTool(manager).problems;
}

bool isFile(ModuleKind kind) {
    return kind == ModuleKind::Cache || kind == ModuleKind::Session;
}

nlohmann::json itemJson(const BroswerManager& manager, const browser::ModuleInfo& m,
                        const ScaneOuputObject& item, const std::string& day) {
    nlohmann::json j{{"name", item.name},
                     {"checked", item.isCheck},
                     {"file", manager.fileOf(m.name, item)},
                     {"action", isFile(m.kind) ? "remove" : "rewrite-list"}};
    if (isFile(m.kind)) {
        j["path"] = item.path;
        j["size"] = item.fileSize;
    } else if (m.kind == ModuleKind::History || m.kind == ModuleKind::Topsite) {
        j["address"] = item.path;
    } else {
        j["risky"] = item.isBadCookie;
    }
    if (!day.empty())
        j["day"] = day;
    return j;
}

template <typename F> void forEachRecord(const ScanItemList& list, F f) {
    for (const ScanItem& item : list) {
        if (!item->subObjects) {
            f(*item, std::string());
            continue;
        }
        for (const ScanItem& visit : *item->subObjects)
            f(*visit, item->dateStr);
    }
}

std::int64_t moduleSize(const ScanItemList& list) {
    std::int64_t size = 0;
    forEachRecord(list, [&](const ScaneOuputObject& o, const std::string&) { size += o.fileSize; });
    return size;
}

void printScanJson(const BroswerManager& manager, const BrowserOptions& options,
                   const ProblemList& problems) {
    std::vector<ScanModule> modules;
    for (const browser::ModuleInfo* m : chosenModules(options)) {
        auto list = manager.dataForModule(m->name);
        nlohmann::json items = nlohmann::json::array();
        std::int64_t checkedSize = 0;
        if (list)
            forEachRecord(*list, [&](const ScaneOuputObject& o, const std::string& day) {
                items.push_back(itemJson(manager, *m, o, day));
                checkedSize += o.isCheck ? o.fileSize : 0;
            });
        modules.push_back({m->name,
                           list ? moduleSize(*list) : 0,
                           manager.dataCountWithoutCheck(m->name),
                           checkedSize,
                           manager.dataCount(m->name),
                           {{"browser", browser::browserName(m->browser)}, {"items", items}}});
    }
    printJson(scanJson(manager, modules, problems), std::cout);
}

void printScanText(const BroswerManager& manager, const BrowserOptions& options,
                   const ProblemList& problems) {
    std::cout << "Browser Cleanup\n";
    std::int64_t total = 0;
    for (const browser::ModuleInfo* m : chosenModules(options)) {
        auto list = manager.dataForModule(m->name);
        const std::int64_t count = manager.dataCountWithoutCheck(m->name);
        total += count;
        const std::int64_t size = list ? moduleSize(*list) : 0;
        std::printf("  %-22s %10s  %lld %s\n", shown(m->name).c_str(),
                    isFile(m->kind) && size > 0 ? CommonFunction::getSizeString(size).c_str() : "-",
                    static_cast<long long>(count), count == 1 ? "item" : "items");
        if (!options.details || !list)
            continue;
        std::string day;
        forEachRecord(*list, [&](const ScaneOuputObject& o, const std::string& group) {
            if (group != day && !group.empty()) {
                std::printf("      %s\n", shown(group).c_str());
                day = group;
            }
            const char* indent = group.empty() ? "      " : "          ";
            if (isFile(m->kind))
                std::printf("%s%s  %s\n", indent, shown(o.path).c_str(),
                            CommonFunction::getSizeString(o.fileSize).c_str());
            else if (m->kind == ModuleKind::History || m->kind == ModuleKind::Topsite)
                std::printf("%s%s  %s  (from %s)\n", indent, shown(o.name).c_str(),
                            shown(o.path).c_str(), shown(manager.fileOf(m->name, o)).c_str());
            else
                std::printf("%s%s%s  (from %s)\n", indent, shown(o.name).c_str(),
                            o.isBadCookie ? "  risky" : "",
                            shown(manager.fileOf(m->name, o)).c_str());
        });
    }
    std::fflush(stdout);
    std::cout << "Total: " << total << (total == 1 ? " item" : " items") << "\n";
    printProblems("Problems", problems, std::cout);
}

// Unticks every module the command was not asked for, so that the plan holds
// only the chosen ones.
void keepOnlyChosen(BroswerManager& manager, const BrowserOptions& options) {
    std::set<std::string> chosen;
    for (const browser::ModuleInfo* m : chosenModules(options))
        chosen.insert(m->name);
    for (const browser::ModuleInfo& m : browser::moduleTable())
        if (!chosen.count(m.name))
            manager.setCheck(m.name, false);
}

// Whether a problem of the scan lies in a file or folder that a chosen module
// is read from (a database in use, a cache that could not be listed): what was
// there could not be cleaned.
bool touchesChosen(const ProblemList& problems, const BrowserOptions& options) {
    const BrowserFiles f = resolveBrowserFiles(currentBrowserLayout());
    std::vector<std::string> sources;
    auto roots = [&](const FileScanRoots& r) {
        sources.insert(sources.end(), r.paths.begin(), r.paths.end());
    };
    for (const browser::ModuleInfo* m : chosenModules(options)) {
        const int b = m->browser; // Safari, Chrome, Firefox
        switch (m->kind) {
        case ModuleKind::Cookie:
        case ModuleKind::RiskyCookie:
            sources.push_back(b == 0   ? f.safariCookies
                              : b == 1 ? f.chromeCookies
                                       : f.firefoxCookies);
            break;
        case ModuleKind::History:
            sources.push_back(b == 0   ? f.safariHistory
                              : b == 1 ? f.chromeHistory
                                       : f.firefoxHistory);
            break;
        case ModuleKind::Topsite:
            sources.push_back(b == 0   ? f.safariTopSites
                              : b == 1 ? f.chromeTopSites
                                       : std::string());
            break;
        case ModuleKind::Cache:
            roots(b == 0 ? f.safariCache : b == 1 ? f.chromeCache : f.firefoxCache);
            break;
        case ModuleKind::Session:
            roots(b == 0 ? f.safariSession : b == 1 ? f.chromeSession : f.firefoxSession);
            break;
        }
    }
    return std::any_of(problems.begin(), problems.end(), [&](const Problem& p) {
        return std::any_of(sources.begin(), sources.end(), [&](const std::string& s) {
            return !s.empty() && (p.path == s || paths::isInside(p.path, s));
        });
    });
}

} // namespace

void addBrowserCommand(CLI::App& root) {
    auto options = std::make_shared<BrowserOptions>();
    CLI::App* command = root.add_subcommand(
        "browser", "Browser Cleanup: cookies, history, top sites, caches and sessions");
    command->require_subcommand(1);
    const std::string browserHelp = "only this browser: safari, chrome or firefox; repeatable";

    CLI::App* scanCommand = command->add_subcommand(
        "scan", "scan and print each module's count (and size, for caches and sessions)");
    scanCommand->add_option("--browser", options->browsers, browserHelp);
    scanCommand->add_flag("--details", options->details,
                          "list every site, page and file, with where a clean removes it");
    addJsonFlag(*scanCommand, options->json);
    scanCommand->callback([options] {
        chosenModules(*options); // names are checked before the scan
        BroswerManager& manager = BroswerManager::shareBroswerManager();
        ProblemList problems = scan(manager);
        if (options->json)
            printScanJson(manager, *options, problems);
        else
            printScanText(manager, *options, problems);
    });

    CLI::App* cleanCommand =
        command->add_subcommand("clean", "scan, then clean everything the scan ticks");
    cleanCommand->add_option("--browser", options->browsers, browserHelp);
    std::string moduleList;
    for (const std::string& name : knownModules())
        moduleList += (moduleList.empty() ? "" : ", ") + name;
    cleanCommand->add_option("--module", options->modules,
                             "only this module: one of " + moduleList +
                                 " (or the displayed name, e.g. \"Chrom Cookie\"); repeatable");
    addYesFlag(*cleanCommand, options->yes);
    addJsonFlag(*cleanCommand, options->json);
    cleanCommand->callback([options] {
        chosenModules(*options);
        BroswerManager& manager = BroswerManager::shareBroswerManager();
        ProblemList problems = scan(manager);
        keepOnlyChosen(manager, *options);
        cleanTool(manager, {options->yes, options->json, touchesChosen(problems, *options)},
                  problems);
    });
}

} // namespace tessaly::cli
