// The Browser Cleanup's plan and clean.
#include "ScanCode/HelperPass.h"
#include "ScanCode/RecordRemoval.h"
#include "ScanCode/browser/BroswerManager.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace tessaly {

namespace {

using browser::ModuleKind;

// A planned record, where it is listed, and what became of it.
struct Step {
    const PlanItem* item;
    ScanItem record;
    std::string module;
    ModuleKind kind;
    std::optional<std::string> why = std::string(kStoppedBeforeHandled);
    bool freed = false; // a file really removed (not one gone before its turn)
};

void postCleaned(const std::vector<std::string>& modules) {
    for (const std::string& module : modules)
        NotificationCenter::defaultCenter().postOnMainQueue(broswerCleanModuleFinish, module);
}

ScanItemList recordsOf(const std::vector<Step*>& steps) {
    ScanItemList out;
    for (const Step* s : steps)
        out.push_back(s->record);
    return out;
}

void takeReasons(const std::vector<Step*>& steps,
                 const std::vector<std::optional<std::string>>& reasons) {
    for (std::size_t i = 0; i < steps.size() && i < reasons.size(); ++i)
        steps[i]->why = reasons[i];
}

// The database or list a record of a module lives in; the entry itself for files.
std::string fileFor(const BrowserFiles& f, const std::string& module,
                    const ScaneOuputObject& item) {
    const auto* m = browser::moduleNamed(module);
    if (!m)
        return item.path;
    if (!item.database.empty()) // a row of another profile's database
        return item.database;
    switch (m->kind) {
    case ModuleKind::Cookie:
    case ModuleKind::RiskyCookie:
        return m->browser == browser::Safari   ? f.safariCookies
               : m->browser == browser::Chrome ? f.chromeCookies
                                               : f.firefoxCookies;
    case ModuleKind::History:
        return m->browser == browser::Safari   ? f.safariHistory
               : m->browser == browser::Chrome ? f.chromeHistory
                                               : f.firefoxHistory;
    case ModuleKind::Topsite:
        return m->browser == browser::Safari ? f.safariTopSites : f.chromeTopSites;
    case ModuleKind::Cache:
    case ModuleKind::Session:
        return item.path;
    }
    return item.path;
}

} // namespace

std::set<int> BroswerManager::compactedBrowsers() const {
    std::set<int> out{browser::Chrome, browser::Firefox};
    for (const RunningBrowser& b : hasBrowserRun())
        out.erase(b.browser);
    return out;
}

std::string BroswerManager::fileOf(const std::string& module, const ScaneOuputObject& item) const {
    return fileFor(files(), module, item);
}

Plan BroswerManager::plan() const {
    Plan plan;
    const auto all = data();
    const BrowserFiles found = files();
    const std::set<int> compact = compactedBrowsers();
    for (const browser::ModuleInfo& m : browser::moduleTable()) {
        // What becomes of the free pages of a database the clean changes.
        std::string afterwards;
        if (m.browser != browser::Safari && m.kind != ModuleKind::Cache &&
            m.kind != ModuleKind::Session)
            afterwards = compact.count(m.browser)
                             ? "the database is compacted after the clean, so no deleted row "
                               "stays readable in it"
                             : "the browser is running: the database is not compacted after "
                               "the clean (deleted rows are overwritten)";
        auto it = all.find(m.name);
        if (it == all.end() || !it->second)
            continue;
        auto add = [&](const ScanItem& record, const std::string& note) {
            if (!record->isCheck)
                return;
            PlanItem p;
            p.category = m.name;
            p.categoryOrder = m.index;
            p.path = fileFor(found, m.name, *record);
            p.record = record;
            p.note =
                note.empty() || afterwards.empty() ? note + afterwards : note + "; " + afterwards;
            if (m.kind == ModuleKind::Cache || m.kind == ModuleKind::Session) {
                p.name = record->name;
                p.size = record->fileSize;
            } else {
                // A row of a database or an entry of a list: the site or page.
                p.action = PlanAction::RewriteList;
                p.name = m.kind == ModuleKind::History || m.kind == ModuleKind::Topsite
                             ? (record->path.empty() ? record->name : record->path)
                             : record->name;
            }
            plan.items.push_back(std::move(p));
        };
        for (const ScanItem& item : *it->second) {
            if (item->subObjects) {
                for (const ScanItem& visit : *item->subObjects)
                    add(visit, "visited " + item->dateStr);
            } else {
                add(item, m.kind == ModuleKind::RiskyCookie ? "risky" : "");
            }
        }
    }
    return plan;
}

CleanOutcome BroswerManager::clean(const Plan& plan, std::stop_token stop,
                                   const ProgressSink& progress) {
    std::stop_token token = cleanStop_.begin(std::move(stop));
    cookies.setKeepList(env_.keepCookies ? env_.keepCookies() : std::vector<std::string>{});
    const std::set<int> compact = compactedBrowsers();

    std::vector<Step> steps;
    for (const PlanItem& p : plan.items) {
        auto record = std::static_pointer_cast<ScaneOuputObject>(p.record);
        const auto* m = browser::moduleNamed(p.category);
        if (record && m)
            steps.push_back({&p, record, m->name, m->kind});
    }
    std::vector<Step*> cookieSteps, historySteps, topsiteSteps, fileSteps;
    for (Step& s : steps) {
        switch (s.kind) {
        case ModuleKind::Cookie:
        case ModuleKind::RiskyCookie:
            cookieSteps.push_back(&s);
            break;
        case ModuleKind::History:
            historySteps.push_back(&s);
            break;
        case ModuleKind::Topsite:
            topsiteSteps.push_back(&s);
            break;
        case ModuleKind::Cache:
        case ModuleKind::Session:
            fileSteps.push_back(&s);
            break;
        }
    }
    const std::size_t total = std::max<std::size_t>(steps.size(), 1);
    std::atomic<std::size_t> handled{0};
    auto announce = [&](const std::string& path) {
        report(progress,
               {"Removing", path, static_cast<double>(handled++) / static_cast<double>(total)});
    };
    // Takes what is gone out of its list (and emptied day groups out of theirs);
    // marks what could not go.
    auto prune = [this](const std::vector<Step*>& handledSteps) {
        std::map<std::string, std::set<const ScaneOuputObject*>> gone;
        for (const Step* s : handledSteps) {
            if (!s->why)
                gone[s->module].insert(s->record.get());
            else if (*s->why != kStoppedBeforeHandled)
                s->record->canotRemove = true;
        }
        for (const auto& [module, records] : gone)
            dropRecords(module, records);
    };
    using browser::modulesOfKind;
    DispatchGroup group;
    // A task on rows of databases and entries of lists: the manager deletes them
    // all at once, then the lists are pruned and the modules announced.
    using Remove = std::function<std::vector<std::optional<std::string>>(const ScanItemList&)>;
    auto rowsTask = [&](const std::vector<Step*>& rows, Remove remove,
                        std::vector<std::string> modules) {
        group.async([&, &rows = rows, remove = std::move(remove), modules = std::move(modules)] {
            for (Step* s : rows)
                announce(s->item->path);
            takeReasons(rows, remove(recordsOf(rows)));
            prune(rows);
            postCleaned(modules);
        });
    };
    rowsTask(cookieSteps,
             [&](const ScanItemList& r) { return cookies.removeCookie(r, token, compact); },
             {"Safari Cookie", "Chrom Cookie", "Firefox Cookie", "Risky Safari Cookie",
              "Risky Chrom Cookie", "Risky Firefox Cookie"});
    rowsTask(
        historySteps,
        [&](const ScanItemList& r) { return history.removeHistory(r, token, compact); },
        modulesOfKind(ModuleKind::History));
    rowsTask(
        topsiteSteps,
        [&](const ScanItemList& r) { return topsites.removeTopsit(r, token, compact); },
        modulesOfKind(ModuleKind::Topsite));
    group.async([&] {
        std::vector<RemovalTarget> targets;
        for (const Step* s : fileSteps)
            targets.push_back({{s->record->path}, s->record->stamp});
        RemovalHooks hooks;
        hooks.before = [&](std::size_t i) { announce(fileSteps[i]->record->path); };
        HelperPass pass({}); // nothing here needs the privileged helper
        auto results = removeTargets(targets, pass, token, hooks, false);
        for (std::size_t i = 0; i < fileSteps.size(); ++i) {
            const RemovalResult& r = results[i];
            Step& s = *fileSteps[i];
            s.freed = r.state == RemovalState::Removed;
            s.why = r.state == RemovalState::Removed || r.state == RemovalState::Vanished
                        ? std::nullopt
                        : std::optional<std::string>(r.left.empty() ? kStoppedBeforeHandled
                                                                    : r.left.front().reason);
        }
        prune(fileSteps);
        postCleaned({"Safari Cache", "Firefox Cache", "Safari Session", "Chrom Session",
                     "Firefox Session", "Chrom Cache"});
    });
    group.wait();

    CleanOutcome outcome;
    for (const Step& s : steps) {
        if (!s.why) {
            if (s.kind != ModuleKind::Cache && s.kind != ModuleKind::Session) {
                ++outcome.removed;
            } else if (s.freed) {
                ++outcome.removed;
                outcome.bytes += s.record->fileSize;
            }
            continue;
        }
        const bool file = s.kind == ModuleKind::Cache || s.kind == ModuleKind::Session;
        outcome.left.push_back({s.item->path, file ? *s.why : s.item->name + ": " + *s.why});
    }
    outcome.stopped = token.stop_requested();
    report(progress, {"Cleanup Completed", "", 1.0});
    return outcome;
}

} // namespace tessaly

namespace tessaly {

void BroswerManager::dropRecords(const std::string& module,
                                 const std::set<const ScaneOuputObject*>& gone) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = data_.find(module);
    if (it == data_.end() || !it->second)
        return;
    auto isGone = [&gone](const ScanItem& item) { return gone.count(item.get()) > 0; };
    ScanItemList& list = *it->second;
    for (const ScanItem& item : list)
        if (item->subObjects) {
            auto& visits = *item->subObjects;
            visits.erase(std::remove_if(visits.begin(), visits.end(), isGone), visits.end());
        }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const ScanItem& item) {
                                  return isGone(item) ||
                                         (item->subObjects && item->subObjects->empty());
                              }),
               list.end());
}

} // namespace tessaly
