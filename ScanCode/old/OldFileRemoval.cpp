// The Old Files Finder's plan and removal.
#include "ScanCode/HelperPass.h"
#include "ScanCode/old/OldFileScan.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <set>

namespace tessaly {

namespace {

constexpr const char* kChanged = "changed since the scan";
constexpr const char* kStopped = "the clean was stopped before it was handled";

} // namespace

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
                p.size = f->size;
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
    CleanOutcome outcome;
    HelperPass pass({}); // this tool has no privileged step
    std::set<const CustomFileInfo*> gone;
    std::size_t handled = 0;
    for (; handled < plan.items.size() && !token.stop_requested(); ++handled) {
        const PlanItem& p = plan.items[handled];
        auto f = std::static_pointer_cast<CustomFileInfo>(p.record);
        if (!f)
            continue;
        report(progress, {"Removing", f->path,
                          static_cast<double>(handled) / static_cast<double>(plan.items.size())});
        NotificationCenter::defaultCenter().postOnMainQueue(oldCleanModuleFinsh, f->path);
        std::string why;
        if (!fileops::itemExists(f->path)) {
            gone.insert(f.get()); // gone before the clean: it leaves the list, freeing nothing
            continue;
        }
        if (!fileattr::stillTheSame(f->path, f->stamp))
            why = kChanged;
        else if (pass.remove(f->path, token))
            why.clear();
        else
            why = pass.leftReason(f->path).value_or("it could not be removed");
        if (why.empty()) {
            f->cannotRemoved = false;
            f->notRemovedReason.clear();
            outcome.removed += 1;
            outcome.bytes += f->size;
            gone.insert(f.get());
            continue;
        }
        f->cannotRemoved = true;
        f->notRemovedReason = why;
        outcome.left.push_back({f->path, why});
        if (result)
            result->cannotRemovePaths.push_back(f);
    }
    for (std::size_t i = handled; i < plan.items.size(); ++i)
        outcome.left.push_back({plan.items[i].path, kStopped});
    for (const auto& type : data) {
        for (const auto& sizeClass : type->data) {
            auto& files = sizeClass->data;
            files.erase(
                std::remove_if(files.begin(), files.end(),
                               [&gone](const OldFileRef& f) { return gone.count(f.get()); }),
                files.end());
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
