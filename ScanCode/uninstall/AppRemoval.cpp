// The Uninstaller's removal run.
#include "ScanCode/PlanNesting.h"
#include "ScanCode/RecordRemoval.h"
#include "ScanCode/uninstall/MimeAssociations.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "model/FolderWalk.h"
#include "platform/FileRemoval.h"
#include "platform/InstalledPackages.h"
#include "platform/LoginItemsStore.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <map>
#include <set>

namespace tessaly {

namespace {

// What became of one step of the plan.
enum class Fate {
    NotHandled, // a stop came first
    Removed,
    Vanished, // nothing was there any more: gone, freeing nothing
    Left,
    Pending, // handed to the pass; the hand-over decides
};

struct StepRun {
    UninstallStep step;
    Fate fate = Fate::NotHandled;
    std::string reason;
    bool refused = false; // left before anything was removed
};

void finished(const SubAppFileObj& record) {
    NotificationCenter::defaultCenter().postOnMainQueue(appUninstallFinishNotification,
                                                        record.path);
}

} // namespace

bool SearchApplications::removeSelfLogin(const std::string& name) {
    LoginItemsStore store(loginItemsFile());
    auto item = loginItemNamed(store, name);
    return item && store.remove(*item);
}

bool SearchApplications::removeItem(const AppItem& item) {
    return removeSelfLogin(paths::deletingExtension(item.name));
}

DockRemoval SearchApplications::removeAppsFromDock(const std::string& key) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (dockApps_)
            if (auto at = findDockTile(*dockApps_, key))
                dockApps_->erase(dockApps_->begin() + static_cast<std::ptrdiff_t>(*at));
    }
    return removeDockTile(key);
}

UninstallCleanResult SearchApplications::cleanApps() {
    UninstallCleanResult result;
    const Plan planned = plan();
    CleanOutcome outcome = clean(planned, {}, {});
    result.fileCount = outcome.removed;
    result.totleSize = outcome.bytes;
    result.iusse = outcome.issues;
    for (const PlanItem& p : planned.items) {
        auto step = std::static_pointer_cast<UninstallStep>(p.record);
        if (step->record->cannotRemoved)
            result.cannotRemovePaths.push_back(step->record);
    }
    return result;
}

CleanOutcome SearchApplications::clean(const Plan& plan, std::stop_token stop,
                                       const ProgressSink& progress) {
    std::stop_token token = cleanStop_.begin(std::move(stop));
    std::vector<StepRun> runs;
    for (const PlanItem& p : plan.items)
        if (auto step = std::static_pointer_cast<UninstallStep>(p.record))
            runs.push_back({*step, Fate::NotHandled, {}, false});
    HelperPass pass(env_.removeSystemFile, env_.stopRemoveSystemFile, token);
    std::size_t turn = 0;
    auto starting = [&](const SubAppFileObj& record) {
        report(progress, {"Removing", record.path,
                          static_cast<double>(turn++) / static_cast<double>(runs.size())});
    };

    // Packages first: an application whose package stays keeps everything.
    std::map<const AppItem*, std::string> stays;
    std::set<const AppItem*> uninstalled;
    for (StepRun& run : runs) {
        const SubAppFileObj& record = *run.step.record;
        if (record.type != subfile::Package)
            continue;
        if (token.stop_requested())
            break;
        starting(record);
        if (auto why = runPackageStep(run.step)) {
            run.fate = Fate::Left;
            run.reason = *why;
            run.refused = true;
            stays[run.step.item.get()] = *why;
        } else {
            run.fate = Fate::Removed;
            uninstalled.insert(run.step.item.get());
        }
        finished(record);
    }

    // Launch jobs, login items and dock tiles next, so that nothing starts the
    // program again while its files go.
    for (StepRun& run : runs) {
        const SubAppFileObj& record = *run.step.record;
        if (record.type == subfile::File || record.type == subfile::Package)
            continue;
        if (token.stop_requested())
            break;
        starting(record);
        run.fate = Fate::Removed;
        auto leave = [&run](std::string why, bool refused = false) {
            run.fate = Fate::Left;
            run.reason = std::move(why);
            run.refused = refused;
        };
        if (auto kept = stays.find(run.step.item.get()); kept != stays.end()) {
            leave("kept: the application is still installed (" + kept->second + ")", true);
        } else if (record.type == subfile::MimeAssociation) {
            if (!mimeapps::names(record.path, record.entryName))
                run.fate = Fate::Vanished;
            else if (auto failed = mimeapps::removeEntry(record.path, record.entryName))
                leave(*failed);
        } else if (record.type == subfile::LoginItem) {
            if (!hasLogin(record.entryName))
                run.fate = Fate::Vanished;
            else if (!removeSelfLogin(record.entryName))
                leave("the login items could not be rewritten");
        } else if (record.type == subfile::DockEntry) {
            DockRemoval removal = removeAppsFromDock(record.entryName);
            if (removal == DockRemoval::NotThere)
                run.fate = Fate::Vanished;
            else if (removal == DockRemoval::Failed)
                leave("the dock's preferences could not be rewritten");
        } else if (!fileops::itemExists(record.path)) {
            run.fate = Fate::Vanished;
        } else if (!fileattr::stillTheSame(record.path, record.stamp)) {
            leave(kChangedSinceScan, true);
        } else if (auto why = removeServer(record, pass)) {
            leave(*why);
        } else if (!record.system) {
            run.fate = Fate::Pending; // its description waits in the pass
        }
        finished(record);
    }

    // Then the files and folders, through the pass; what stayed goes to the
    // helper once, with the jobs' descriptions that stayed.
    // A file a package owns is only ever removed by its package manager.
    std::vector<std::string> filePaths;
    for (const StepRun& run : runs)
        if (run.step.record->type == subfile::File)
            filePaths.push_back(packages::machinePath(run.step.record->path));
    const packages::DpkgDatabase dpkg = packages::DpkgDatabase::read(filePaths);
    std::vector<StepRun*> files;
    std::vector<RemovalTarget> targets;
    for (StepRun& run : runs) {
        const SubAppFileObj& record = *run.step.record;
        if (record.type != subfile::File)
            continue;
        auto leave = [&run](std::string why) {
            run.fate = Fate::Left;
            run.reason = std::move(why);
            run.refused = true;
        };
        if (auto why = stays.find(run.step.item.get()); why != stays.end()) {
            leave("kept: the application is still installed (" + why->second + ")");
        } else if (auto owner = dpkg.ownerOf(packages::machinePath(record.path))) {
            leave("the package " + owner->name + " owns it; only its package manager removes it");
        } else if (uninstalled.count(run.step.item.get()) && !fileops::itemExists(record.path)) {
            run.fate = Fate::Removed; // its package tool took it (flatpak's --delete-data)
        } else {
            files.push_back(&run);
            targets.push_back({{record.path}, record.stamp});
        }
    }
    std::optional<std::size_t> current;
    RemovalHooks hooks;
    hooks.before = [&](std::size_t i) {
        if (current)
            finished(*files[*current]->step.record);
        current = i;
        starting(*files[i]->step.record);
    };
    auto results = removeTargets(targets, pass, token, hooks, /*handOver=*/true);
    if (current)
        finished(*files[*current]->step.record);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const RemovalResult& r = results[i];
        StepRun& run = *files[i];
        run.fate = r.state == RemovalState::Removed    ? Fate::Removed
                   : r.state == RemovalState::Vanished ? Fate::Vanished
                   : r.state == RemovalState::Left     ? Fate::Left
                                                       : Fate::NotHandled;
        run.refused = r.refused;
        if (!r.left.empty())
            run.reason = r.left.front().reason;
    }
    for (StepRun& run : runs)
        if (run.fate == Fate::Pending) {
            auto why = pass.leftReason(run.step.record->path);
            run.fate = why ? Fate::Left : Fate::Removed;
            run.reason = why.value_or("");
        }

    // Booking: what is gone leaves its item; what stayed is marked with its reason.
    CleanOutcome outcome;
    AppItemList touched;
    for (StepRun& run : runs) {
        SubAppFileObj& record = *run.step.record;
        if (std::find(touched.begin(), touched.end(), run.step.item) == touched.end())
            touched.push_back(run.step.item);
        switch (run.fate) {
        case Fate::Removed:
            outcome.removed += 1;
            // A package counts what its package manager says it freed.
            if (record.type == subfile::File || record.type == subfile::LaunchJob ||
                record.type == subfile::Package)
                outcome.bytes += record.size;
            else
                outcome.issues += 1;
            [[fallthrough]];
        case Fate::Vanished:
            record.cannotRemoved = false;
            record.notRemovedReason.clear();
            break;
        case Fate::Left:
            record.cannotRemoved = true;
            record.notRemovedReason = run.reason;
            if (record.type == subfile::File && !run.refused)
                record.size = itemSize(record.path); // what is left of it
            outcome.left.push_back({record.path, run.reason});
            break;
        case Fate::NotHandled:
        case Fate::Pending:
            outcome.left.push_back({record.path, kStoppedBeforeHandled});
            break;
        }
    }
    std::map<const SubAppFileObj*, Fate> fates;
    for (const StepRun& run : runs)
        fates[run.step.record.get()] = run.fate;
    // Ticked files the plan left to a folder it removes went with that folder.
    const PlannedRemovals planned(plan);
    for (const AppItemRef& item : selectAllApps())
        for (const SubAppFileRef& record : item->fileDatas ? *item->fileDatas : SubAppFileList{})
            if (record->isCheck && record->type == subfile::File && !fates.count(record.get()) &&
                planned.carriedAway(record->path)) {
                fates[record.get()] = Fate::Vanished;
                if (std::find(touched.begin(), touched.end(), item) == touched.end())
                    touched.push_back(item);
            }
    AppItemList gone;
    for (const AppItemRef& item : touched) {
        auto kept = std::make_shared<SubAppFileList>();
        for (const SubAppFileRef& record : item->fileDatas ? *item->fileDatas : SubAppFileList{}) {
            auto fate = fates.find(record.get());
            if (fate == fates.end() ||
                (fate->second != Fate::Removed && fate->second != Fate::Vanished))
                kept->push_back(record);
        }
        item->fileDatas = kept;
        if (kept->empty())
            gone.push_back(item);
        else
            item->isSelected = item->checkStatus();
    }
    dropItems(gone);
    outcome.stopped = token.stop_requested();
    report(progress, {"Removal finished", "", 1.0});
    return outcome;
}

} // namespace tessaly
