// The Old Files Finder's plan and removal.
#include "ScanCode/HelperPass.h"
#include "ScanCode/RecordRemoval.h"
#include "ScanCode/old/OldFileScan.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <set>

namespace tessaly {

Plan OldFileScan::plan() const {
    Plan plan;
    for (std::size_t i = 0; i < data.size(); ++i)
        for (const auto& sizeClass : data[i]->data)
            for (const auto& f : sizeClass->data) {
                if (!f->isCheck)
                    continue;
                PlanItem p;
                p.category = data[i]->name;
                p.categoryOrder = static_cast<int>(i);
                p.path = f->path;
                p.name = paths::lastComponent(f->path);
                p.size = f->diskSize;
                p.note = sizeClass->name;
                p.record = f;
                plan.items.push_back(std::move(p));
            }
    return plan;
}

CleanOutcome OldFileScan::clean(const Plan& plan, std::stop_token stop,
                                const ProgressSink& progress) {
    return runClean(plan, std::move(stop), progress, nullptr);
}

OldCleanResult OldFileScan::clean() {
    OldCleanResult result;
    CleanOutcome outcome = runClean(plan(), {}, {}, &result);
    result.totleSize = outcome.bytes;
    result.fileCount = outcome.removed;
    return result;
}

CleanOutcome OldFileScan::runClean(const Plan& plan, std::stop_token stop,
                                   const ProgressSink& progress, OldCleanResult* result) {
    std::stop_token token = cleanStop_.begin(std::move(stop));
    std::vector<OldFileRef> files;
    std::vector<RemovalTarget> targets;
    for (const PlanItem& p : plan.items)
        if (auto f = std::static_pointer_cast<CustomFileInfo>(p.record)) {
            files.push_back(f);
            targets.push_back({{f->path}, f->stamp});
        }
    RemovalHooks hooks;
    hooks.before = [&](std::size_t i) {
        report(progress, {"Removing", files[i]->path,
                          static_cast<double>(i) / static_cast<double>(files.size())});
        NotificationCenter::defaultCenter().postOnMainQueue(oldCleanModuleFinsh, files[i]->path);
    };
    HelperPass pass({}); // this tool has no privileged step
    auto results = removeTargets(targets, pass, token, hooks, false);

    CleanOutcome outcome;
    std::set<const CustomFileInfo*> gone;
    for (std::size_t i = 0; i < files.size(); ++i) {
        CustomFileInfo& f = *files[i];
        const RemovalResult& r = results[i];
        outcome.left.insert(outcome.left.end(), r.left.begin(), r.left.end());
        if (r.state == RemovalState::Removed || r.state == RemovalState::Vanished) {
            // A file gone before its turn leaves the list, freeing nothing.
            if (r.state == RemovalState::Removed) {
                outcome.removed += 1;
                outcome.bytes += f.diskSize;
            }
            f.cannotRemoved = false;
            f.notRemovedReason.clear();
            gone.insert(&f);
        } else if (r.state == RemovalState::Left) {
            f.cannotRemoved = true;
            f.notRemovedReason = r.left.front().reason;
            if (result)
                result->cannotRemovePaths.push_back(files[i]);
        }
    }
    for (const auto& type : data) {
        for (const auto& sizeClass : type->data) {
            auto& list = sizeClass->data;
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&gone](const OldFileRef& f) { return gone.count(f.get()); }),
                       list.end());
        }
        auto& classes = type->data;
        classes.erase(std::remove_if(classes.begin(), classes.end(),
                                     [](const OldSizeRef& c) { return c->data.empty(); }),
                      classes.end());
    }
    outcome.stopped = token.stop_requested();
    report(progress, {"Removal finished", "", 1.0});
    return outcome;
}

} // namespace tessaly
