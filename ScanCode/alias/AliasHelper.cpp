#include "ScanCode/alias/AliasHelper.h"

#include "ScanCode/RecordRemoval.h"
#include "ScanCode/alias/AliasFiles.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "model/ToolIndex.h"
#include "platform/FileRemoval.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <algorithm>
#include <set>

namespace tessaly {

namespace {

constexpr std::size_t kMaxCandidates = 8;

std::int64_t ticked(const AliasList& list) {
    return std::count_if(list.begin(), list.end(), [](const AliasRef& a) { return a->isCheck; });
}

// Walks the folders as the alias scan does: hidden names and packages are
// skipped, folders entered, links never followed. visit sees every other entry.
void walkAliasFolders(const std::vector<std::string>& folders, const std::stop_token& stop,
                      const std::function<void(const WalkEntry&)>& visit,
                      const std::function<void(const std::string&)>& enter) {
    for (auto it = folders.rbegin(); it != folders.rend() && !stop.stop_requested(); ++it)
        walkFolder(
            *it,
            [&](const WalkEntry& e) {
                if (stop.stop_requested())
                    return WalkDecision::Stop;
                const std::string path = e.path();
                if (CommonFunction::hiddenFile(e.name()) || isPackageFolder(e.name(), path))
                    return WalkDecision::Continue;
                visit(e);
                return e.isDirectory() ? WalkDecision::Descend : WalkDecision::Continue;
            },
            [&stop] { return stop.stop_requested(); }, enter);
}

} // namespace

AliasHelper& AliasHelper::shareAliasHelper() {
    static auto* shared = new AliasHelper; // lives for the whole run
    return *shared;
}

std::int64_t AliasHelper::toolIndex() const {
    return tool::AliasFinder;
}

AliasList AliasHelper::useQueueScanApp(const std::vector<std::string>& folders) {
    AliasList found;
    walkAliasFolders(
        folders, scanToken_,
        [&found](const WalkEntry& e) {
            const auto& info = e.info();
            const std::string path = e.path();
            if (!info.exists || info.isDirectory || !aliasfile::isAlias(path, info))
                return;
            auto a = std::make_shared<AliasObj>();
            a->path = path;
            a->name = e.name();
            a->createDate = info.created;
            a->size = itemSize(path, info);
            a->stamp = fileattr::stampOf(info);
            found.push_back(std::move(a));
        },
        [](const std::string& folder) {
            NotificationCenter::defaultCenter().post(aliasPathScanModuleFinsh, folder);
        });
    return found;
}

ScanSummary AliasHelper::scan(std::stop_token stop, const ProgressSink& progress) {
    return runScan(folders_, std::move(stop), progress);
}

void AliasHelper::startSearch(const std::vector<std::string>& folders) {
    runScan(folders, {}, {});
}

ScanSummary AliasHelper::runScan(const std::vector<std::string>& folders, std::stop_token stop,
                                 const ProgressSink& progress) {
    scanToken_ = scanStop_.begin(std::move(stop));
    ProblemCollector collector;
    data = {};
    scanned_ = folders;
    report(progress, {"Looking for aliases", "", -1});
    AliasList found = useQueueScanApp(folders);
    for (std::size_t i = 0; i < found.size() && !scanToken_.stop_requested(); ++i) {
        const AliasRef& a = found[i];
        report(progress, {"Resolving aliases", a->path,
                          static_cast<double>(i) / static_cast<double>(found.size())});
        a->orgPath = aliasfile::target(a->path);
        const bool works = a->orgPath && aliasfile::targetExists(a->path, *a->orgPath);
        a->isInvalid = !works;
        a->isCheck = !works;
        data[works ? 1 : 0].push_back(a);
    }
    NotificationCenter::defaultCenter().postOnMainQueue(aliasScanModuleFinsh);
    ScanSummary summary;
    summary.stopped = scanToken_.stop_requested();
    summary.problems = collector.take();
    return summary;
}

std::int64_t AliasHelper::breakAliasCount() const {
    return static_cast<std::int64_t>(data[0].size());
}
std::int64_t AliasHelper::aliasCount() const {
    return static_cast<std::int64_t>(data[1].size());
}
std::int64_t AliasHelper::breakAliasCountWithCheck() const {
    return ticked(data[0]);
}
std::int64_t AliasHelper::aliasCountWithCheck() const {
    return ticked(data[1]);
}

int AliasHelper::checkStatus(bool broken) const {
    const AliasList& list = alias(broken);
    const std::int64_t n = ticked(list);
    if (n == 0)
        return 0;
    return n == static_cast<std::int64_t>(list.size()) ? 2 : 1;
}

void AliasHelper::setEnable(bool tick, bool broken) {
    for (const AliasRef& a : data[broken ? 0 : 1])
        a->isCheck = tick;
}

Plan AliasHelper::plan() const {
    Plan plan;
    for (int list = 0; list < 2; ++list)
        for (const AliasRef& a : data[static_cast<std::size_t>(list)]) {
            if (!a->isCheck)
                continue;
            PlanItem p;
            p.category = list == 0 ? "Break Alias" : "Alias";
            p.categoryOrder = list;
            p.path = a->path;
            p.name = a->name;
            p.size = a->size;
            p.note = a->orgPath ? (list == 0 ? "nothing is at its target " + *a->orgPath
                                             : "points to " + *a->orgPath)
                                : "its target cannot be read";
            p.record = a;
            plan.items.push_back(std::move(p));
        }
    return plan;
}

CleanOutcome AliasHelper::clean(const Plan& plan, std::stop_token stop,
                                const ProgressSink& progress) {
    return runClean(plan, std::move(stop), progress, nullptr);
}

AliasCleanResult AliasHelper::clearAlias() {
    AliasCleanResult result;
    CleanOutcome outcome = runClean(plan(), {}, {}, &result);
    result.fileCount = outcome.removed;
    result.totleSize = outcome.bytes;
    return result;
}

CleanOutcome AliasHelper::runClean(const Plan& plan, std::stop_token stop,
                                   const ProgressSink& progress, AliasCleanResult* result) {
    std::stop_token token = clearStop_.begin(std::move(stop));
    AliasList aliases;
    std::vector<RemovalTarget> targets;
    for (const PlanItem& p : plan.items)
        if (auto a = std::static_pointer_cast<AliasObj>(p.record)) {
            aliases.push_back(a);
            targets.push_back({{a->path}, a->stamp});
        }
    RemovalHooks hooks;
    hooks.before = [&](std::size_t i) {
        report(progress, {"Removing", aliases[i]->path,
                          static_cast<double>(i) / static_cast<double>(aliases.size())});
    };
    HelperPass pass(privileged_, stopPrivileged_, token);
    auto results = removeTargets(targets, pass, token, hooks, true);

    CleanOutcome outcome;
    std::set<const AliasObj*> gone;
    for (std::size_t i = 0; i < aliases.size(); ++i) {
        AliasObj& a = *aliases[i];
        const RemovalResult& r = results[i];
        outcome.left.insert(outcome.left.end(), r.left.begin(), r.left.end());
        if (r.state == RemovalState::Removed) {
            outcome.removed += 1;
            outcome.bytes += a.size;
        }
        if (r.state == RemovalState::Removed || r.state == RemovalState::Vanished) {
            a.cannotRemoved = false;
            gone.insert(&a);
        } else if (r.state == RemovalState::Left) {
            a.cannotRemoved = true;
            a.notRemovedReason = r.left.front().reason;
            if (result)
                result->cannotRemovePaths.push_back(aliases[i]);
        }
    }
    for (AliasList& list : data)
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&gone](const AliasRef& a) { return gone.count(a.get()); }),
                   list.end());
    outcome.stopped = token.stop_requested();
    NotificationCenter::defaultCenter().postOnMainQueue(aliasCleanModuleFinsh);
    return outcome;
}

void AliasHelper::removeSystemObject(AliasCleanResult& result) {
    std::set<const AliasObj*> gone;
    for (AliasList& list : data)
        for (const AliasRef& a : list)
            if (a->isCheck && !fileops::itemExists(a->path)) {
                gone.insert(a.get());
                result.fileCount += 1;
                result.totleSize += a->size;
            }
    auto isGone = [&gone](const AliasRef& a) { return gone.count(a.get()) > 0; };
    auto& failed = result.cannotRemovePaths;
    failed.erase(std::remove_if(failed.begin(), failed.end(), isGone), failed.end());
    for (AliasList& list : data)
        list.erase(std::remove_if(list.begin(), list.end(), isGone), list.end());
}

bool AliasHelper::fixAlias(const std::string& aliasPath, const std::string& destination) {
    if (!aliasfile::repoint(aliasPath, destination))
        return false;
    for (std::size_t from = 0; from < 2; ++from) {
        auto& list = data[from];
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const AliasRef& a) { return a->path == aliasPath; });
        if (it == list.end())
            continue;
        AliasRef a = *it;
        a->orgPath = aliasfile::target(aliasPath);
        a->isInvalid = !(a->orgPath && aliasfile::targetExists(aliasPath, *a->orgPath));
        a->isCheck = false;
        a->stamp = fileattr::stampOf(fileattr::entryInfo(aliasPath));
        if (from == 0 && !a->isInvalid) {
            list.erase(it);
            data[1].push_back(a);
        }
        break;
    }
    return true;
}

std::map<std::string, std::vector<std::string>> AliasHelper::candidateTargets() const {
    std::map<std::string, std::vector<std::string>> wanted; // target name -> broken aliases
    for (const AliasRef& a : data[0])
        if (a->orgPath)
            wanted[paths::lastComponent(*a->orgPath)].push_back(a->path);
    std::map<std::string, std::vector<std::string>> out;
    if (wanted.empty())
        return out;
    walkAliasFolders(scanned_, {},
                     [&](const WalkEntry& e) {
                         auto it = wanted.find(e.name());
                         if (it == wanted.end() || e.isSymlink())
                             return;
                         const std::string path = e.path();
                         for (const std::string& alias : it->second) {
                             auto& list = out[alias];
                             if (list.size() < kMaxCandidates &&
                                 !aliasfile::isAlias(path, e.info()))
                                 list.push_back(path);
                         }
                     },
                     {});
    return out;
}

} // namespace tessaly
