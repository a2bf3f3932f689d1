#include "cli/AppsCommand.h"

#include "ScanCode/uninstall/SearchApplications.h"
#include "cli/Destructive.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/ToolDriver.h"
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
    std::vector<std::string> names;
    bool yes = false;
    bool purge = false;
    bool confirmPackages = false;
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
    j["removable"] = item.kind == AppKind::Bundle ? !engine.isAppleApp(item.name)
                                                  : item.kind != AppKind::NotRemovable;
    j["kind"] = appKindName(item.kind);
    if (!item.package.empty())
        j["package"] = item.package;
    if (!item.notRemovableReason.empty())
        j["note"] = item.notRemovableReason;
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
        std::printf("  %-32s %-12s %-36s %-12s %10s  %s%s\n", shown(item->name).c_str(),
                    appKindName(item->kind),
                    item->bundleID.empty() ? "-" : shown(item->bundleID).c_str(),
                    item->version.empty() ? "-" : shown(item->version).c_str(),
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

// Scans with the named items selected; a name that names nothing, or more
// than one item, ends the command with a usage error.
ProblemList scanNamed(SearchApplications& engine, const std::vector<std::string>& names) {
    engine.setTargets(names);
    ScanSummary summary = scanTool(engine);
    for (const auto& match : engine.targetMatches()) {
        if (match.candidates.empty())
            throw CommandExit(exitcode::Usage,
                              "no application, widget, plug-in or preference pane is named " +
                                  shown(match.name));
        if (match.candidates.size() > 1) {
            std::string text = shown(match.name) + " names " +
                               std::to_string(match.candidates.size()) +
                               " items; name one by its identifier or its path:";
            for (const AppItemRef& item : match.candidates)
                text += "\n  " + shown(item->name) + "  " +
                        (item->bundleID.empty() ? "-" : shown(item->bundleID)) + "  " +
                        shown(item->path);
            throw CommandExit(exitcode::Usage, text);
        }
    }
    return summary.problems;
}

const char* kindName(const SubAppFileObj& record) {
    switch (record.type) {
    case subfile::LoginItem:
        return "login-item";
    case subfile::DockEntry:
        return "dock-tile";
    case subfile::LaunchJob:
        return "launch-job";
    case subfile::Package:
        return "package";
    case subfile::MimeAssociation:
        return "file-type-choices";
    default:
        return "file";
    }
}

nlohmann::json recordJson(const SubAppFileObj& record) {
    nlohmann::json j{{"path", record.path},
                     {"size", record.size},
                     {"kind", kindName(record)},
                     {"checked", record.isCheck}};
    if (!record.keptReason.empty())
        j["note"] = "not ticked: " + record.keptReason;
    if (record.type == subfile::Package) {
        j["package"] = record.entryName;
        j["packages"] = record.packages;
    }
    if (record.type == subfile::LaunchJob) {
        j["label"] = record.identifier;
        j["system"] = record.system;
        j["title"] = record.title();
        j["program"] = record.appPath ? nlohmann::json(*record.appPath) : nullptr;
    }
    return j;
}

void printFiles(const AppItem& item, const ProblemList& problems, bool json) {
    const SubAppFileList none;
    const SubAppFileList& records = item.fileDatas ? *item.fileDatas : none;
    if (json) {
        nlohmann::json files = nlohmann::json::array();
        for (const SubAppFileRef& record : records)
            files.push_back(recordJson(*record));
        printJson({{"name", item.name},
                   {"path", item.path},
                   {"identifier", item.bundleID},
                   {"kind", appKindName(item.kind)},
                   {"files", files},
                   {"checkedSize", SearchApplications::appCheckCount(item)},
                   {"problems", problemsJson(problems)}},
                  std::cout);
        return;
    }
    std::cout << shown(item.name) << "  " << (item.bundleID.empty() ? "-" : shown(item.bundleID))
              << "  " << shown(item.path) << "  (" << appKindTitle(item.kind) << ")\n";
    for (const SubAppFileRef& record : records)
        std::cout << "  " << (record->isCheck ? "[x] " : "[ ] ") << kindName(*record) << "  "
                  << shown(record->type == subfile::LaunchJob || record->type == subfile::Package
                               ? record->path + "  (" + record->title() + ")"
                               : record->path)
                  << "  " << CommonFunction::getSizeString(record->size)
                  << (record->keptReason.empty()
                          ? ""
                          : "  (not ticked: " + shown(record->keptReason) + ")")
                  << "\n";
    std::cout << records.size() << (records.size() == 1 ? " record, " : " records, ")
              << CommonFunction::getSizeString(SearchApplications::appCheckCount(item))
              << " ticked\n";
    printProblems("Problems", problems, std::cout);
}

// Warns (on standard error) about the selected applications that are running:
// their removal would not be complete.
void warnAboutRunning(const SearchApplications& engine) {
    AppItemList running;
    engine.appIsRun(engine.selectAllApps(), &running);
    for (const AppItemRef& item : running)
        std::cerr << "tessaly-cli: " << shown(item->name)
                  << " is running; quit it first for a complete removal\n";
}

} // namespace

void addAppsCommand(CLI::App& root) {
    auto options = std::make_shared<AppsOptions>();
    CLI::App* apps = root.add_subcommand(
        "apps", "list the installed applications; show and remove what belongs to one");
    addJsonFlag(*apps, options->json);
    apps->add_flag("--other", options->other,
                   "list internet plug-ins, widgets and preference panes instead");
    apps->require_subcommand(0, 1);
    apps->callback([options, apps] {
        if (apps->get_subcommands().empty())
            run(*options);
    });

    CLI::App* files = apps->add_subcommand(
        "files", "the files, login item, dock tile and launch jobs that belong to an application");
    files->add_option("name", options->names, "name, identifier or path of the application")
        ->required()
        ->expected(1);
    addJsonFlag(*files, options->json);
    files->callback([options] {
        SearchApplications& engine = SearchApplications::shareSearchApplications();
        ProblemList problems = scanNamed(engine, options->names);
        printFiles(*engine.targetMatches().front().candidates.front(), problems, options->json);
    });

    CLI::App* remove = apps->add_subcommand(
        "remove", "uninstall applications with what belongs to them (acts only with --yes)");
    remove->add_option("names", options->names, "names, identifiers or paths of the applications")
        ->required();
    addJsonFlag(*remove, options->json);
    addYesFlag(*remove, options->yes);
    remove->add_flag("--purge", options->purge,
                     "remove packages with their configuration files (apt-get purge)");
    remove->add_flag("--confirm-packages", options->confirmPackages,
                     "also remove the other packages apt-get would take with an application's "
                     "own (its plan lists them)");
    remove->callback([options] {
        SearchApplications& engine = SearchApplications::shareSearchApplications();
        engine.setPackageOptions({options->purge, options->confirmPackages});
        ProblemList problems = scanNamed(engine, options->names);
        warnAboutRunning(engine);
        // An application nothing may remove, or whose package is kept back,
        // was not removed: the command says so with its exit code.
        bool keptBack = false;
        for (const AppItemRef& item : engine.selectAllApps()) {
            keptBack = keptBack || item->kind == AppKind::NotRemovable;
            if (item->fileDatas)
                for (const SubAppFileRef& record : *item->fileDatas)
                    if (record->type == subfile::Package && !record->isCheck) {
                        keptBack = true;
                        problems.push_back({record->path, record->title() + " is not removed: " +
                                                              record->keptReason});
                    }
        }
        CleanOptions clean{options->yes, options->json};
        clean.couldNotAct = keptBack;
        cleanTool(engine, clean, problems);
    });
}

} // namespace tessaly::cli
