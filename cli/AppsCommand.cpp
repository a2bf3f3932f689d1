#include "cli/AppsCommand.h"

#include "ScanCode/uninstall/SearchApplications.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "model/CommonFunction.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <strings.h>

namespace tessaly::cli {

namespace {

struct AppsOptions {
    bool json = false;
    bool other = false;
};

AppItemList sortedByName(AppItemList list) {
    std::stable_sort(list.begin(), list.end(), [](const AppItemRef& a, const AppItemRef& b) {
        return ::strcasecmp(a->name.c_str(), b->name.c_str()) < 0;
    });
    return list;
}

nlohmann::json toJson(const AppItem& item, const SearchApplications& engine) {
    nlohmann::json j;
    j["name"] = item.name;
    j["path"] = item.path;
    j["identifier"] = item.bundleID;
    j["version"] = item.version;
    j["size"] = item.size;
    j["lastUse"] = jsonDate(item.lastOpenDate);
    j["system"] = item.isSystemApp;
    j["removable"] = !engine.isAppleApp(item.name);
    return j;
}

nlohmann::json toJson(const AppItemList& list, const SearchApplications& engine) {
    nlohmann::json out = nlohmann::json::array();
    for (const AppItemRef& item : sortedByName(list))
        out.push_back(toJson(*item, engine));
    return out;
}

void printTable(const std::string& title, const AppItemList& list) {
    if (!title.empty())
        std::cout << title << " (" << list.size() << ")\n";
    for (const AppItemRef& item : sortedByName(list)) {
        std::string lastUse =
            item->lastOpenDate ? CommonFunction::dateStr(*item->lastOpenDate) : "-";
        std::printf("  %-32s %-36s %-12s %10s  %s%s\n", item->name.c_str(),
                    item->bundleID.empty() ? "-" : item->bundleID.c_str(),
                    item->version.empty() ? "-" : item->version.c_str(),
                    CommonFunction::getSizeString(item->size).c_str(), lastUse.c_str(),
                    item->isSystemApp ? "  system" : "");
    }
    std::fflush(stdout);
}

void run(const AppsOptions& options) {
    SearchApplications& engine = SearchApplications::shareSearchApplications();
    ProgressLine progress;
    if (options.other) {
        progress.update("Looking for plug-ins, widgets and preference panes...");
        engine.searchApplicationsOther();
        progress.clear();
        if (options.json) {
            nlohmann::json out;
            out["plugins"] = toJson(engine.allPlugins(), engine);
            out["widgets"] = toJson(engine.allWidgets(), engine);
            out["preferencePanes"] = toJson(engine.allPreferences(), engine);
            printJson(out, std::cout);
        } else {
            printTable("Internet plug-ins", engine.allPlugins());
            printTable("Widgets", engine.allWidgets());
            printTable("Preference panes", engine.allPreferences());
        }
        return;
    }
    progress.update("Looking for applications...");
    engine.buildCatalogue();
    progress.clear();
    AppItemList all = engine.allApplications();
    if (options.json) {
        printJson(toJson(all, engine), std::cout);
    } else {
        printTable("", all);
        std::cout << all.size() << " applications, " << engine.allApplicationsForUninstall().size()
                  << " of them removable\n";
    }
}

} // namespace

void addAppsCommand(CLI::App& root) {
    auto options = std::make_shared<AppsOptions>();
    CLI::App* apps = root.add_subcommand("apps", "list the installed applications");
    addJsonFlag(*apps, options->json);
    apps->add_flag("--other", options->other,
                   "list internet plug-ins, widgets and preference panes instead");
    apps->callback([options] { run(*options); });
}

} // namespace tessaly::cli
