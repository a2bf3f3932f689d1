#include "ScanCode/system/SystemCleanRun.h"

#include "ScanCode/PlanNesting.h"
#include "ScanCode/system/LoginItemManager.h"
#include "ScanCode/system/QSVCleanManager.h"
#include "ScanCode/system/RecentLists.h"
#include "ScanCode/system/SystemModules.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>

namespace tessaly {

namespace {

constexpr const char* kChanged = "changed since the scan";
constexpr const char* kStopped = "the clean was stopped before it was handled";

enum class StepState { Pending, Done, Vanished, Failed };

struct StepRun {
    const PlanItem* step;
    StepState state = StepState::Pending;
    std::string reason;
};

// One result item and the steps the plan takes for it.
struct RecordRun {
    ScanItem item;
    std::vector<StepRun> steps;
    bool attempted = false;
};

using ModuleRuns = std::map<int, std::vector<RecordRun>>;

ModuleRuns groupPlan(const Plan& plan) {
    ModuleRuns runs;
    std::map<const void*, std::pair<int, std::size_t>> where;
    for (const PlanItem& p : plan.items) {
        auto item = std::static_pointer_cast<ScaneOuputObject>(p.record);
        if (!item)
            continue;
        auto [it, added] = where.emplace(item.get(), std::make_pair(p.categoryOrder, 0));
        auto& records = runs[p.categoryOrder];
        if (added) {
            it->second.second = records.size();
            records.push_back({item, {}, false});
        }
        records[it->second.second].steps.push_back(StepRun{&p, StepState::Pending, {}});
    }
    return runs;
}

// Puts the replacement in the item's place with one rename, so that the item is
// never gone without its replacement; nothing is touched when that cannot be done.
std::optional<std::string> replaceWith(const PlanItem& p, const ScaneOuputObject& item) {
    auto replacement = fileattr::entryInfo(p.replacement);
    if (!replacement.exists || !replacement.isRegular)
        return "its replacement " + p.replacement + " is missing or not a file";
    if (!fileattr::stillTheSame(p.path, item.stamp))
        return std::string(kChanged);
    if (std::rename(p.replacement.c_str(), p.path.c_str()) != 0)
        return "it could not be replaced: " + reasonForError(errno);
    return std::nullopt;
}

void runStep(StepRun& s, const ScaneOuputObject& item, HelperPass& pass,
             const SystemCleanContext& context) {
    const PlanItem& p = *s.step;
    std::optional<std::string> failure;
    switch (p.action) {
    case PlanAction::Remove:
        if (!fileops::itemExists(p.path)) {
            s.state = StepState::Vanished;
            return;
        }
        // The scan's stamp belongs to the one path an item removes.
        if (item.removePaths.empty() && !fileattr::stillTheSame(p.path, item.stamp)) {
            pass.keep(p.path, kChanged);
            failure = kChanged;
            break;
        }
        s.state = pass.remove(p.path, context.stop) ? StepState::Done : StepState::Pending;
        return;
    case PlanAction::Replace:
        failure = replaceWith(p, item);
        break;
    case PlanAction::Thin:
        failure = context.thin ? context.thin(p.path)
                               : std::optional<std::string>("it could not be thinned");
        break;
    case PlanAction::RewriteList:
        break; // the module's login items leave their list together, below
    case PlanAction::Erase:
        failure = "System Cleanup does not erase";
        break;
    case PlanAction::Unload:
        failure = "System Cleanup does not unload jobs";
        break;
    case PlanAction::Uninstall:
        failure = "System Cleanup does not uninstall applications";
        break;
    }
    s.state = failure ? StepState::Failed : StepState::Done;
    s.reason = failure.value_or("");
}

// Whether an item that stands for several paths (a trashed entry with its
// description, a unit with the links that enable it) now has something else at
// its own path, where the scan stamped it: then none of its paths goes.
bool changedSinceScan(const ScaneOuputObject& item) {
    return !item.removePaths.empty() && item.stamp.known && fileops::itemExists(item.path) &&
           !fileattr::stillTheSame(item.path, item.stamp);
}

// Each recent-documents list is rewritten once, without the entries of the
// records that reached it; when it cannot be, they all stay with the reason.
void rewriteRecentLists(std::vector<RecordRun>& records) {
    std::map<std::string, std::vector<RecordRun*>> byList;
    for (RecordRun& r : records)
        if (r.attempted && !r.steps.empty() && r.steps.front().state == StepState::Done)
            byList[r.steps.front().step->path].push_back(&r);
    for (auto& [list, runs] : byList) {
        std::vector<std::string> spans;
        for (RecordRun* r : runs)
            spans.insert(spans.end(), r->item->listEntries.begin(), r->item->listEntries.end());
        if (auto failure = recentlists::rewriteWithout(list, spans))
            for (RecordRun* r : runs)
                for (StepRun& s : r->steps) {
                    s.state = StepState::Failed;
                    s.reason = *failure;
                }
    }
}

// One module's direct steps, on a worker.
void runModule(int module, std::vector<RecordRun>& records, HelperPass& pass,
               const SystemCleanContext& context) {
    ScanItemList logins;
    const std::string phase = "Cleaning " + moduleName(module);
    for (RecordRun& r : records) {
        if (context.stop.stop_requested())
            break;
        report(context.progress, {phase, r.steps.front().step->path, -1});
        r.attempted = true;
        if (changedSinceScan(*r.item)) {
            for (StepRun& s : r.steps) {
                pass.keep(s.step->path, kChanged);
                s.state = StepState::Failed;
                s.reason = kChanged;
            }
            continue;
        }
        for (StepRun& s : r.steps) {
            runStep(s, *r.item, pass, context);
            if (s.step->action == PlanAction::RewriteList && module == sysmodule::BrokenLoginItems)
                logins.push_back(r.item);
        }
    }
    if (!logins.empty() && context.loginItems)
        context.loginItems->removeBreakLoginItemFromOuputObjs(logins);
    if (module == sysmodule::RecentDocuments)
        rewriteRecentLists(records);
}

using LeftLookup = std::function<std::optional<std::string>(const std::string&)>;

// Books one record by what became of its steps (those still pending are looked
// up); true when it leaves its list.
bool book(int module, RecordRun& r, const LeftLookup& leftReason, CleanOutcome& outcome) {
    ScaneOuputObject& item = *r.item;
    if (!r.attempted) {
        outcome.left.push_back({r.steps.front().step->path, kStopped});
        return false;
    }
    std::int64_t freed = 0;
    bool anyDone = false;
    std::vector<std::size_t> failed;
    for (std::size_t i = 0; i < r.steps.size(); ++i) {
        StepRun& s = r.steps[i];
        if (s.state == StepState::Pending) {
            auto reason = leftReason(s.step->path);
            s.state = reason ? StepState::Failed : StepState::Done;
            s.reason = reason.value_or("");
        }
        if (s.state == StepState::Failed) {
            failed.push_back(i);
            outcome.left.push_back({s.step->path, s.reason});
        } else if (s.state == StepState::Done) {
            anyDone = true;
            freed += std::max<std::int64_t>(s.step->size, 0);
        }
    }
    // An item standing for folders of unknown sizes frees its size only once all are gone.
    if (!item.removePaths.empty() && item.removeSizes.size() != item.removePaths.size())
        freed = failed.empty() ? item.fileSize : 0;
    const PlanAction action = r.steps.front().step->action;
    if (anyDone && action != PlanAction::Thin) {
        outcome.removed += 1;
        outcome.bytes += freed;
        if (module == sysmodule::BrokenLoginItems)
            outcome.issues += 1;
    }
    if (failed.empty()) {
        item.canotRemove = false;
        return true;
    }
    item.canotRemove = true;
    if (!item.removePaths.empty() && failed.size() < r.steps.size()) {
        // What is left of an item that stands for several folders.
        std::vector<std::string> paths;
        std::vector<std::int64_t> sizes;
        for (std::size_t i : failed) {
            paths.push_back(r.steps[i].step->path);
            sizes.push_back(std::max<std::int64_t>(r.steps[i].step->size, 0));
        }
        item.removePaths = std::move(paths);
        item.removeSizes = sizes;
        item.fileSize = 0;
        for (std::int64_t s : sizes)
            item.fileSize += s;
    }
    return false;
}

void prune(ScanItemList& list, const std::set<const ScaneOuputObject*>& done) {
    auto isDone = [&done](const ScanItem& i) { return done.count(i.get()) > 0; };
    for (const ScanItem& item : list)
        if (item->subObjects && !item->subObjects->empty()) {
            auto& children = *item->subObjects;
            children.erase(std::remove_if(children.begin(), children.end(), isDone),
                           children.end());
            item->fileSize = totalSize(children);
            if (children.empty())
                item->subObjects = std::make_shared<ScanItemList>(); // an emptied group
        }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const ScanItem& i) {
                                  return isDone(i) || (i->subObjects && i->subObjects->empty());
                              }),
               list.end());
}

CleanOutcome bookRuns(ModuleRuns& runs, const std::map<int, ScanItemListRef>& store,
                      const PlannedRemovals& planned, const LeftLookup& leftReason);

} // namespace

CleanOutcome runSystemClean(const Plan& plan, const std::map<int, ScanItemListRef>& store,
                            HelperPass& pass, const SystemCleanContext& context, bool handOver,
                            std::vector<std::string>* firstAttempt) {
    ModuleRuns runs = groupPlan(plan);
    for (const auto& entry : store)
        runs[entry.first]; // every module of the store reports its end
    DispatchGroup group;
    std::atomic<std::size_t> finished{0};
    const std::size_t total = runs.size();
    for (auto& [module, records] : runs) {
        group.async([&, m = module, list = &records] {
            runModule(m, *list, pass, context);
            NotificationCenter::defaultCenter().postOnMainQueue(cleanModuleNotification,
                                                                static_cast<std::int64_t>(m));
            report(context.progress,
                   {"Cleaned " + moduleName(m), "",
                    static_cast<double>(++finished) / static_cast<double>(total)});
        });
    }
    group.wait();
    if (firstAttempt)
        for (const auto& [module, records] : runs)
            for (const RecordRun& r : records)
                for (const StepRun& step : r.steps)
                    if (step.state == StepState::Pending || step.state == StepState::Failed)
                        firstAttempt->push_back(step.step->path);

    if (handOver && !context.stop.stop_requested() && !pass.pending().empty()) {
        report(context.progress, {"Handing what is left to the helper", "", 1.0});
        pass.handOver(context.stop);
    }
    CleanOutcome outcome =
        bookRuns(runs, store, PlannedRemovals(plan),
                 [&pass](const std::string& path) { return pass.leftReason(path); });
    outcome.stopped = context.stop.stop_requested();
    return outcome;
}

CleanOutcome bookAfterHelper(const Plan& plan, const std::map<int, ScanItemListRef>& store,
                             const std::vector<std::string>& notRemoved) {
    ModuleRuns runs = groupPlan(plan);
    for (auto& [module, records] : runs)
        for (RecordRun& r : records)
            r.attempted = true;
    std::set<std::string> left(notRemoved.begin(), notRemoved.end());
    return bookRuns(runs, store, PlannedRemovals(plan),
                    [&left](const std::string& path) -> std::optional<std::string> {
                        if (left.count(path) || fileops::itemExists(path))
                            return std::string("the helper did not remove it");
                        return std::nullopt;
                    });
}

namespace {

// Ticked items the plan did not take because a folder it removes held them: gone
// with that folder, they leave their lists, counted in the folder's size only.
void addCarried(const ScanItemList& list, const std::vector<RecordRun>& records,
                const PlannedRemovals& planned, std::set<const ScaneOuputObject*>& done) {
    std::set<const ScaneOuputObject*> inPlan;
    for (const RecordRun& r : records)
        inPlan.insert(r.item.get());
    auto look = [&](const ScanItem& item) {
        if (item->isCheck && !item->hasChildren() && !inPlan.count(item.get()) &&
            planned.carriedAway(item->path))
            done.insert(item.get());
    };
    for (const ScanItem& item : list) {
        look(item);
        if (item->hasChildren())
            for (const ScanItem& child : *item->subObjects)
                look(child);
    }
}

CleanOutcome bookRuns(ModuleRuns& runs, const std::map<int, ScanItemListRef>& store,
                      const PlannedRemovals& planned, const LeftLookup& leftReason) {
    CleanOutcome outcome;
    std::map<int, std::set<const ScaneOuputObject*>> done;
    for (auto& [module, records] : runs)
        for (RecordRun& r : records)
            if (book(module, r, leftReason, outcome))
                done[module].insert(r.item.get());
    for (const auto& [module, list] : store) {
        if (!list)
            continue;
        std::set<const ScaneOuputObject*>& gone = done[module];
        if (module == sysmodule::Binary && runs.count(module)) // its unticked ones leave too
            for (const ScanItem& item : *list)
                if (!item->isCheck)
                    gone.insert(item.get());
        static const std::vector<RecordRun> none;
        auto planRuns = runs.find(module);
        addCarried(*list, planRuns == runs.end() ? none : planRuns->second, planned, gone);
        prune(*list, gone);
    }
    return outcome;
}

} // namespace

} // namespace tessaly
