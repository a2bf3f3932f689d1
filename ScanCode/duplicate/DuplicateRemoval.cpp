// The Duplicates Finder's plan and removal.
#include "ScanCode/RecordRemoval.h"
#include "ScanCode/duplicate/DuplicateFile.h"
#include "ScanCode/duplicate/DuplicateKinds.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "platform/FileAttributes.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <map>
#include <set>

namespace tessaly {

namespace {

using Ref = std::shared_ptr<DupFileInfo>;
using LeftLookup = std::function<std::optional<std::string>(const std::string&)>;

constexpr const char* kKeptAnyway = "the last copy of a group is always kept";
constexpr const char* kKeptCopyGone = "the copy that was to be kept is gone or changed";

// Whether the copy on disk is still the one the scan compared: the same file
// (device and inode) and, for a file, untouched since (size, modification and
// status-change times: rewriting a file and setting its size and modification
// time back still moves the last).
bool unchanged(const DupFileInfo& f) {
    const auto info = fileattr::entryInfo(f.path);
    if (!info.exists || info.isSymlink || info.device != f.device || info.inode != f.inode)
        return false;
    if (f.isPackage)
        return info.isDirectory && tessaly::directorySize(f.path) == f.fileSize;
    return info.isRegular && info.size == f.fileSize && info.modified == f.modified &&
           info.changed == f.changed;
}

// Every name of a copy: its path and its other names met by the scan.
std::vector<std::string> namesOf(const DupFileInfo& m) {
    std::vector<std::string> names{m.path};
    names.insert(names.end(), m.otherNames.begin(), m.otherNames.end());
    return names;
}

void leave(DupFileInfo& m, const std::string& reason, bool untick) {
    m.cannotRemoved = true;
    m.notRemovedReason = reason;
    if (untick)
        m.isCheck = false;
}

// Books a copy whose names were removed by someone: true when every name is gone,
// otherwise the copy is marked with the first reason and every name left is listed.
bool bookCopy(DupFileInfo& m, const LeftLookup& leftReason, CleanOutcome& outcome) {
    std::string first;
    for (const std::string& name : namesOf(m))
        if (auto reason = leftReason(name)) {
            outcome.left.push_back({name, *reason});
            if (first.empty())
                first = *reason;
        }
    if (!first.empty()) {
        leave(m, first, false);
        return false;
    }
    m.cannotRemoved = false;
    m.notRemovedReason.clear();
    outcome.removed += 1;
    // The bytes are free only once the file's last name is gone.
    outcome.bytes += m.freedBytes();
    return true;
}

// The groups of every copy.
std::map<const DupFileInfo*, DupGroupRef> groupsOf(const std::vector<DuplicateInfoRef>& data) {
    std::map<const DupFileInfo*, DupGroupRef> out;
    for (const auto& info : data)
        for (const auto& g : info->dupFiles)
            for (const auto& m : g->array)
                out[m.get()] = g;
    return out;
}

void dropGone(const std::vector<DuplicateInfoRef>& data, const std::set<const DupFileInfo*>& gone) {
    for (const auto& info : data) {
        for (const auto& g : info->dupFiles) {
            std::vector<Ref> members;
            for (const Ref& m : g->array)
                if (gone.count(m.get()))
                    members.push_back(m);
            g->removeObjectsInArray(members);
        }
        auto& groups = info->dupFiles;
        groups.erase(std::remove_if(groups.begin(), groups.end(),
                                    [](const DupGroupRef& g) { return g->count() < 2; }),
                     groups.end());
    }
}

bool allTicked(const DupGroup& g) {
    return g.count() > 0 && g.checkCount() == static_cast<std::int64_t>(g.count());
}

} // namespace

Plan DuplicateFile::plan() const {
    Plan plan;
    for (int kind = 0; kind < dupkind::kCount; ++kind)
        for (const auto& info : data) {
            if (info->module != kind)
                continue;
            for (const auto& g : info->dupFiles) {
                const bool keepLast = allTicked(*g);
                for (const Ref& m : g->array) {
                    if (!m->isCheck || (keepLast && m == g->array.back()))
                        continue;
                    PlanItem p;
                    p.category = dupkind::moduleStr(kind);
                    p.categoryOrder = kind;
                    p.path = m->path;
                    p.name = paths::lastComponent(m->path);
                    p.size = m->freedBytes();
                    p.record = m;
                    if (!m->freesSpace())
                        p.note = "other names of this file lie outside the scanned folders: "
                                 "removing it frees no space";
                    plan.items.push_back(p);
                    for (const std::string& name : m->otherNames) {
                        p.path = name;
                        p.name = paths::lastComponent(name);
                        p.size = 0;
                        p.note = "another name of the same file as " + m->path;
                        plan.items.push_back(p);
                    }
                }
            }
        }
    return plan;
}

CleanOutcome DuplicateFile::clean(const Plan& plan, std::stop_token stop,
                                  const ProgressSink& progress) {
    return runClean(plan, std::move(stop), progress, nullptr);
}

DupCleanResult DuplicateFile::clear() {
    DupCleanResult result;
    CleanOutcome outcome = runClean(plan(), {}, {}, &result);
    result.fileCount = outcome.removed;
    result.totleSize = outcome.bytes;
    return result;
}

CleanOutcome DuplicateFile::runClean(const Plan& plan, std::stop_token stop,
                                     const ProgressSink& progress, DupCleanResult* result) {
    std::stop_token token = clearStop_.begin(std::move(stop));
    CleanOutcome outcome;
    auto groups = groupsOf(data);
    auto noteLeft = [result](const Ref& m) {
        if (result)
            result->cannotRemovePaths.push_back(m);
    };

    // The copies the plan takes, in its order, each once.
    std::vector<Ref> copies;
    std::set<const DupFileInfo*> planned;
    for (const PlanItem& p : plan.items) {
        auto m = std::static_pointer_cast<DupFileInfo>(p.record);
        if (m && groups.count(m.get()) && planned.insert(m.get()).second)
            copies.push_back(m);
    }
    // A group whose every copy is ticked keeps its last one all the same.
    std::set<const DupGroup*> seen;
    for (const Ref& m : copies) {
        const DupGroupRef& g = groups[m.get()];
        if (seen.insert(g.get()).second && allTicked(*g) && !planned.count(g->array.back().get())) {
            leave(*g->array.back(), kKeptAnyway, true);
            outcome.left.push_back({g->array.back()->path, kKeptAnyway});
            noteLeft(g->array.back());
        }
    }

    std::vector<RemovalTarget> targets;
    for (const Ref& m : copies)
        targets.push_back({namesOf(*m), m->stamp});
    RemovalHooks hooks;
    hooks.before = [&](std::size_t i) {
        report(progress, {"Removing", copies[i]->path,
                          static_cast<double>(i) / static_cast<double>(copies.size())});
    };
    hooks.refuse = [&](std::size_t i) -> std::string {
        const DupFileInfo& m = *copies[i];
        if (!unchanged(m))
            return kChangedSinceScan;
        const DupGroup& g = *groups[&m];
        if (std::none_of(g.array.begin(), g.array.end(),
                         [](const Ref& o) { return !o->isCheck && unchanged(*o); }))
            return kKeptCopyGone;
        return {};
    };
    HelperPass pass(privileged_, stopPrivileged_, token);
    auto results = removeTargets(targets, pass, token, hooks, true);

    std::set<const DupFileInfo*> gone;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        DupFileInfo& m = *copies[i];
        const RemovalResult& r = results[i];
        outcome.left.insert(outcome.left.end(), r.left.begin(), r.left.end());
        switch (r.state) {
        case RemovalState::Removed:
            outcome.removed += 1;
            // The bytes are free only once the file's last name is gone.
            outcome.bytes += m.freedBytes();
            [[fallthrough]];
        case RemovalState::Vanished:
            m.cannotRemoved = false;
            m.notRemovedReason.clear();
            gone.insert(&m);
            break;
        case RemovalState::Left:
            leave(m, r.left.front().reason, r.refused);
            noteLeft(copies[i]);
            break;
        case RemovalState::NotHandled:
            break;
        }
    }
    dropGone(data, gone);
    for (const auto& info : data)
        info->orgSize = info->allSizeNoCheck();
    sortUsing(data,
              [](const DuplicateInfoRef& a, const DuplicateInfoRef& b) { return a->compare(*b); });
    outcome.stopped = token.stop_requested();
    report(progress, {"Removal finished", "", 1.0});
    NotificationCenter::defaultCenter().postOnMainQueue(duplicateCleanModuleFinsh);
    return outcome;
}

void DuplicateFile::reomoveSystemObject(DupCleanResult& result,
                                        const std::vector<std::string>& notRemoved) {
    const std::set<std::string> left(notRemoved.begin(), notRemoved.end());
    LeftLookup lookup = [&left](const std::string& path) -> std::optional<std::string> {
        if (left.count(path) || fileops::itemExists(path))
            return std::string("the helper did not remove it");
        return std::nullopt;
    };
    CleanOutcome outcome;
    std::set<const DupFileInfo*> gone;
    for (const auto& info : data)
        for (const auto& g : info->dupFiles)
            for (const Ref& m : g->array)
                if (m->isCheck && bookCopy(*m, lookup, outcome))
                    gone.insert(m.get());
    result.fileCount += outcome.removed;
    result.totleSize += outcome.bytes;
    auto& failed = result.cannotRemovePaths;
    failed.erase(std::remove_if(failed.begin(), failed.end(),
                                [&gone](const Ref& f) { return gone.count(f.get()) > 0; }),
                 failed.end());
    dropGone(data, gone);
}

} // namespace tessaly
