#include "ScanCode/PlanNesting.h"

#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

bool removes(const PlanItem& step) {
    return step.action == PlanAction::Remove || step.action == PlanAction::Erase;
}

bool realFolder(const std::string& path) {
    const fileattr::EntryInfo info = fileattr::entryInfo(path);
    return info.isDirectory && !info.isSymlink;
}

// Calls f with each folder above a path, nearest first, until f returns true.
template <typename F> bool anyFolderAbove(const std::string& path, F f) {
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1))
        if (f(path.substr(0, slash)))
            return true;
    return false;
}

} // namespace

bool removedWith(const std::string& inner, const std::string& outer) {
    if (!paths::isInside(inner, outer) || !realFolder(outer))
        return false;
    // Every folder between the two must be a real folder, not a link to one.
    for (std::size_t slash = inner.find('/', outer.size() + 1); slash != std::string::npos;
         slash = inner.find('/', slash + 1))
        if (!realFolder(inner.substr(0, slash)))
            return false;
    return true;
}

void foldNestedSteps(std::vector<PlanItem>& steps) {
    std::unordered_set<std::string> removed;
    for (const PlanItem& step : steps)
        if (removes(step))
            removed.insert(step.path);
    std::unordered_set<std::string> kept;
    std::vector<PlanItem> out;
    out.reserve(steps.size());
    for (PlanItem& step : steps) {
        if (removes(step)) {
            if (!kept.insert(step.path).second)
                continue; // planned already
            if (anyFolderAbove(step.path, [&](const std::string& folder) {
                    return removed.count(folder) && removedWith(step.path, folder);
                }))
                continue;
        }
        out.push_back(std::move(step));
    }
    steps = std::move(out);
}

PlannedRemovals::PlannedRemovals(const Plan& plan) {
    for (const PlanItem& step : plan.items)
        if (removes(step))
            paths_.insert(step.path);
}

bool PlannedRemovals::carriedAway(const std::string& path) const {
    if (path.empty() || fileops::itemExists(path))
        return false;
    return paths_.count(path) ||
           anyFolderAbove(path, [&](const std::string& folder) { return paths_.count(folder); });
}

} // namespace tessaly
