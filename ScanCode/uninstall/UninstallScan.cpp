// The Uninstaller's scan, its selection and its plan.
#include "ScanCode/PlanNesting.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "model/Problem.h"
#include "model/ToolIndex.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tessaly {

namespace {

const char* actionNote(const SubAppFileObj& record) {
    switch (record.type) {
    case subfile::LoginItem:
        return "its login item leaves the login items";
    case subfile::DockEntry:
        return "its tile leaves the dock";
    case subfile::LaunchJob:
        return record.system ? "a job of the system: unloaded and removed by the helper"
                             : "the user's job: stopped, then its description removed";
    case subfile::Package:
        return "";
    case subfile::MimeAssociation:
        return "its file-type choices leave the list";
    default:
        return "";
    }
}

// What the disk holds now at each file record of an item searched before: the
// plan is made from this scan's sizes, never from those of an earlier search.
void remeasure(AppItem& item) {
    if (!item.fileDatas)
        return;
    for (const SubAppFileRef& record : *item.fileDatas) {
        if (record->type != subfile::File)
            continue;
        const fileattr::EntryInfo info = fileattr::entryInfo(record->path);
        record->size = itemSize(record->path, info);
        record->stamp = fileattr::stampOf(info, /*contents=*/false);
        if (record->path == item.path && info.isDirectory)
            item.size = record->size; // the bundle itself
    }
}

// What a package step removes, whose figure its size is, and the command.
std::string packageNote(const AppItem& item, const SubAppFileObj& record,
                        const std::vector<std::string>& command) {
    std::string note;
    if (item.kind == AppKind::Package) {
        note = "apt-get removes ";
        for (std::size_t i = 0; i < record.packages.size(); ++i)
            note += (i ? ", " : "") + record.packages[i];
        note += "; the size is what the package manager says it frees";
    } else {
        note = std::string(appKindTitle(item.kind)) + " " + record.entryName +
               "; the size is its installation's";
    }
    return note + "; runs: " + commandLineText(command);
}

std::string candidatesText(const AppItemList& items) {
    std::string text;
    for (const AppItemRef& item : items)
        text += (text.empty() ? "" : ", ") + item->name + " (" + item->path + ")";
    return text;
}

} // namespace

std::int64_t SearchApplications::toolIndex() const {
    return tool::Uninstaller;
}

void SearchApplications::setTargets(std::vector<std::string> names) {
    std::lock_guard<std::mutex> guard(lock_);
    targets_ = std::move(names);
}

std::vector<SearchApplications::TargetMatch> SearchApplications::targetMatches() const {
    std::lock_guard<std::mutex> guard(lock_);
    return targetMatches_;
}

AppItemList SearchApplications::findItems(const std::string& key) const {
    AppItemList found;
    for (const AppItemList& list : uninstallLists())
        for (const AppItemRef& item : list)
            if (item->path == key ||
                (!item->bundleID.empty() && text::equalsIgnoringCase(item->bundleID, key)) ||
                text::equalsIgnoringCase(item->name, key) ||
                text::equalsIgnoringCase(paths::deletingExtension(item->name), key))
                found.push_back(item);
    return found;
}

ProblemList SearchApplications::selectTargets() {
    std::vector<std::string> targets;
    {
        std::lock_guard<std::mutex> guard(lock_);
        targets = targets_;
    }
    std::vector<TargetMatch> matches;
    ProblemList problems;
    for (const std::string& name : targets) {
        TargetMatch match{name, findItems(name)};
        if (match.candidates.size() == 1) {
            if (match.candidates[0]->isSelected != 2)
                match.candidates[0]->setItemEnable(true);
        } else if (match.candidates.empty()) {
            problems.push_back({name, "no application, widget, plug-in or preference pane has "
                                      "this name or identifier"});
        } else {
            problems.push_back({name, "it names " + std::to_string(match.candidates.size()) +
                                          " items: " + candidatesText(match.candidates)});
        }
        matches.push_back(std::move(match));
    }
    std::lock_guard<std::mutex> guard(lock_);
    targetMatches_ = std::move(matches);
    return problems;
}

ScanSummary SearchApplications::scan(std::stop_token stop, const ProgressSink& progress) {
    std::stop_token token = scanStop_.begin(std::move(stop));
    ScanSummary summary;
    ProblemCollector collector;
    auto finish = [&] {
        summary.stopped = token.stop_requested();
        ProblemList found = collector.take();
        summary.problems.insert(summary.problems.begin(), found.begin(), found.end());
        return summary;
    };
    if (token.stop_requested())
        return finish();
    report(progress, {"Looking for applications", "", 0.0});
    bool build;
    {
        // A build already running (started at start-up) is waited for, not repeated.
        auto hold = holdCatalogue();
        build = !done();
    }
    if (build)
        buildCatalogue();
    if (token.stop_requested())
        return finish();
    report(progress, {"Looking for plug-ins, widgets and preference panes", "", 0.3});
    searchApplicationsOther();
    summary.problems = selectTargets();

    AppItemList selected = selectAllApps();
    for (std::size_t i = 0; i < selected.size() && !token.stop_requested(); ++i) {
        report(progress,
               {"Looking for the files of " + selected[i]->name, selected[i]->path,
                0.4 + 0.6 * static_cast<double>(i) / static_cast<double>(selected.size())});
        const bool searched = selected[i]->fileDatas != nullptr;
        relatedFiles(selected[i]);
        if (searched)
            remeasure(*selected[i]);
        if (selected[i]->kind == AppKind::NotRemovable)
            summary.problems.push_back(
                {selected[i]->path,
                 selected[i]->name + " cannot be removed: " + selected[i]->notRemovableReason});
    }
    return finish();
}

Plan SearchApplications::plan() const {
    Plan plan;
    int order = 0;
    const std::string loginItems = loginItemsFile();
    for (const AppItemRef& item : selectAllApps()) {
        if (!item->fileDatas)
            continue;
        for (const SubAppFileRef& record : *item->fileDatas) {
            if (!record->isCheck)
                continue;
            PlanItem p;
            std::vector<std::string> command;
            p.category = item->name;
            p.categoryOrder = order;
            p.path = record->path;
            // A job's description is removed with it; login items and tiles
            // are entries of lists, with no size of their own.
            // A package's size is its package manager's figure.
            p.size = record->type == subfile::File || record->type == subfile::LaunchJob ||
                             record->type == subfile::Package
                         ? record->size
                         : 0;
            p.note = actionNote(*record);
            switch (record->type) {
            case subfile::LoginItem:
                p.action = PlanAction::RewriteList;
                p.path = loginItems;
                p.name = record->entryName;
                break;
            case subfile::DockEntry:
                p.action = PlanAction::RewriteList;
                p.path = dockPreferencesPath();
                p.name = record->entryName;
                break;
            case subfile::LaunchJob:
                p.action = PlanAction::Unload;
                p.name = record->identifier;
                break;
            case subfile::MimeAssociation:
                p.action = PlanAction::RewriteList;
                p.name = record->entryName;
                break;
            case subfile::Package: {
                p.action = PlanAction::Uninstall;
                p.name = record->entryName;
                command = packageCommand(*item, *record);
                p.note = packageNote(*item, *record, command);
                break;
            }
            default:
                p.action = PlanAction::Remove;
                p.name = paths::lastComponent(record->path);
                if (record->path == item->path)
                    p.note = "the application itself";
                break;
            }
            p.record = std::make_shared<UninstallStep>(UninstallStep{item, record, command});
            plan.items.push_back(std::move(p));
        }
        ++order;
    }
    // A folder two applications share, or one inside another's, goes once.
    foldNestedSteps(plan.items);
    return plan;
}

bool SearchApplications::hasCheck() const {
    for (const AppItemList& list : uninstallLists())
        for (const AppItemRef& item : list)
            if (item->isSelected != 0)
                return true;
    return false;
}

AppItemList SearchApplications::selectAllApps() const {
    AppItemList selected;
    for (const AppItemList& list : uninstallLists())
        for (const AppItemRef& item : list)
            if (item->isSelected != 0)
                selected.push_back(item);
    return selected;
}

SubAppFileList SearchApplications::selectFile(const AppItemList& items) {
    SubAppFileList ticked;
    for (const AppItemRef& item : items)
        if (item->fileDatas)
            for (const SubAppFileRef& record : *item->fileDatas)
                if (record->isCheck)
                    ticked.push_back(record);
    return ticked;
}

std::int64_t SearchApplications::appCheckCount(const AppItem& item) {
    std::int64_t total = 0;
    if (item.fileDatas)
        for (const SubAppFileRef& record : *item.fileDatas)
            if (record->isCheck)
                total += record->size;
    return total;
}

std::int64_t SearchApplications::allCheckAppSize() const {
    std::int64_t total = 0;
    for (const AppItemList& list : uninstallLists())
        for (const AppItemRef& item : list)
            total += appCheckCount(*item);
    return total;
}

std::vector<RunningApplication> SearchApplications::appIsRun(const AppItemList& items,
                                                             AppItemList* appResult) const {
    std::vector<RunningApplication> running;
    if (!env_.runningApplications)
        return running;
    for (const RunningApplication& app : env_.runningApplications())
        for (const AppItemRef& item : items) {
            bool same = (!item->bundleID.empty() && item->bundleID == app.bundleIdentifier) ||
                        (!item->name.empty() && app.localizedName == item->name);
            if (!same)
                continue;
            running.push_back(app);
            if (appResult)
                appResult->push_back(item);
        }
    return running;
}

std::vector<RunningApplication> SearchApplications::hasBrowserRun() const {
    // The browsers' identifiers, and the executables they run as on this platform.
    static const std::vector<std::string> browsers = {
        "com.apple.Safari", "org.mozilla.firefox", "com.google.Chrome",
        "firefox",          "firefox-esr",         "firefox-bin",
        "chrome",           "google-chrome",       "chromium",
        "chromium-browser"};
    std::vector<RunningApplication> running;
    if (!env_.runningApplications)
        return running;
    for (const RunningApplication& app : env_.runningApplications())
        if (std::find(browsers.begin(), browsers.end(), app.bundleIdentifier) != browsers.end())
            running.push_back(app);
    return running;
}

} // namespace tessaly
