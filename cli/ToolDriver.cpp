#include "cli/ToolDriver.h"

#include "ScanCode/duplicate/FolderList.h"
#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "model/CleanRecord.h"
#include "model/CommonFunction.h"
#include "model/ToolIndex.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

namespace tessaly::cli {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
    std::signal(SIGINT, SIG_DFL); // a second interrupt ends the program at once
}

// The latest progress, kept by the workers and drawn by the main thread.
class LatestProgress {
public:
    void set(const ProgressEvent& e) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!e.phase.empty())
            phase_ = e.phase;
        if (!e.path.empty() || !e.phase.empty())
            path_ = e.path;
        if (e.fraction >= 0)
            fraction_ = e.fraction;
    }
    std::string text() const {
        std::lock_guard<std::mutex> guard(mutex_);
        std::string t;
        if (fraction_ >= 0)
            t = std::to_string(static_cast<int>(fraction_ * 100)) + "% ";
        t += phase_;
        if (!path_.empty())
            t += (phase_.empty() ? "" : ": ") + shown(path_);
        return t;
    }

private:
    mutable std::mutex mutex_;
    std::string phase_, path_;
    double fraction_ = -1;
};

std::string sizeText(std::int64_t bytes) {
    return CommonFunction::getSizeString(bytes);
}

const char* plural(std::int64_t n, const char* one, const char* many) {
    return n == 1 ? one : many;
}

std::vector<const PlanItem*> inCategoryOrder(const Plan& plan) {
    std::vector<const PlanItem*> items;
    for (const PlanItem& p : plan.items)
        items.push_back(&p);
    std::stable_sort(items.begin(), items.end(), [](const PlanItem* a, const PlanItem* b) {
        return a->categoryOrder < b->categoryOrder;
    });
    return items;
}

void printPlan(const Plan& plan, std::ostream& out) {
    std::string category;
    bool first = true;
    for (const PlanItem* p : inCategoryOrder(plan)) {
        if (first || p->category != category) {
            out << shown(p->category) << "\n"; // an application's name, for one
            category = p->category;
            first = false;
        }
        out << "  " << actionName(p->action) << "  " << shown(p->path);
        if (p->action == PlanAction::RewriteList && !p->name.empty())
            out << "  entry " << shown(p->name); // which entry leaves the list
        if (p->size >= 0)
            out << "  " << sizeText(p->size);
        if (!p->replacement.empty())
            out << "  (by " << shown(p->replacement) << ")";
        if (!p->note.empty())
            out << "  (" << shown(p->note) << ")";
        out << "\n";
    }
}

void printOutcome(const CleanOutcome& outcome, std::ostream& out) {
    out << "Removed " << outcome.removed << plural(outcome.removed, " item", " items") << ", "
        << sizeText(outcome.bytes) << " freed";
    if (outcome.issues > 0)
        out << " (" << outcome.issues << " of them broken login items or jobs)";
    out << ".\n";
    if (outcome.stopped)
        out << "The clean was stopped before the end.\n";
    if (!outcome.left.empty()) {
        out << "Left in place (" << outcome.left.size() << "):\n";
        for (const LeftItem& left : outcome.left)
            out << "  " << shown(left.path) << ": " << shown(left.reason) << "\n";
    }
}

} // namespace

void runWithProgress(const std::string& first,
                     const std::function<void(std::stop_token, const ProgressSink&)>& work) {
    ProgressLine line;
    auto latest = std::make_shared<LatestProgress>();
    latest->set({first, "", -1});
    line.update(latest->text());
    std::stop_source stop;
    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(stop.get_token(), [latest](const ProgressEvent& e) { latest->set(e); });
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        MainQueue::async([] {}); // wakes the loop below
    });
    while (!MainQueue::runUntil([&] { return done.load() || interrupted.load(); },
                                std::chrono::milliseconds(100))) {
        line.update(latest->text());
    }
    if (interrupted && !done) {
        line.clear();
        std::cerr << "tessaly-cli: stopping...\n";
        stop.request_stop();
        MainQueue::runUntil([&] { return done.load(); }, std::chrono::hours(24));
    }
    worker.join();
    MainQueue::drain();
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    line.clear();
    if (failure)
        std::rethrow_exception(failure);
}

void requireHomeFolder() {
    const std::string home = paths::homePath();
    auto info = fileattr::entryInfo(home);
    if (!info.exists)
        throw CommandExit(exitcode::Failure, "the home folder " + shown(home) + " does not exist");
    if (!info.isDirectory)
        throw CommandExit(exitcode::Failure, "the home folder " + shown(home) + " is not a folder");
}

std::vector<std::string> folderArguments(const std::vector<std::string>& given) {
    std::vector<std::string> absolute;
    for (const auto& f : given) {
        std::error_code ec;
        auto status = std::filesystem::status(f, ec);
        if (!std::filesystem::exists(status))
            throw CommandExit(exitcode::Usage, "no such folder: " + shown(f));
        if (!std::filesystem::is_directory(status))
            throw CommandExit(exitcode::Usage, "not a folder: " + shown(f));
        absolute.push_back(std::filesystem::canonical(f, ec).string());
    }
    return cleanFolderList(absolute);
}

ScanSummary scanTool(ToolEngine& engine) {
    requireHomeFolder();
    ScanSummary summary;
    runWithProgress("Initialize the engine...",
                    [&](std::stop_token stop, const ProgressSink& progress) {
                        summary = engine.scan(stop, progress);
                    });
    if (summary.stopped)
        throw CommandExit(exitcode::Failure, "the scan was stopped");
    return summary;
}

namespace {

std::string toolCommandName(const ToolEngine& engine) {
    const ToolInfo* info = toolInfo(engine.toolIndex());
    return info ? info->commandName : engine.toolName();
}

} // namespace

nlohmann::json scanJson(const ToolEngine& engine, const std::vector<ScanModule>& modules,
                        const ProblemList& problems, const nlohmann::json& details) {
    nlohmann::json rows = nlohmann::json::array();
    std::int64_t size = 0, count = 0, checkedSize = 0, checkedCount = 0;
    for (const ScanModule& m : modules) {
        nlohmann::json row{{"module", m.name},
                           {"size", m.size},
                           {"count", m.count},
                           {"checkedSize", m.checkedSize},
                           {"checkedCount", m.checkedCount}};
        for (const auto& [key, value] : m.details.items())
            row.emplace(key, value);
        rows.push_back(std::move(row));
        size += m.size;
        count += m.count;
        checkedSize += m.checkedSize;
        checkedCount += m.checkedCount;
    }
    nlohmann::json out{{"tool", toolCommandName(engine)},
                       {"modules", rows},
                       {"totalSize", size},
                       {"totalCount", count},
                       {"checkedSize", checkedSize},
                       {"checkedCount", checkedCount},
                       {"problems", problemsJson(problems)}};
    for (const auto& [key, value] : details.items())
        out.emplace(key, value); // the shared members keep their meaning
    return out;
}

nlohmann::json problemsJson(const ProblemList& problems) {
    nlohmann::json list = nlohmann::json::array();
    for (const Problem& p : problems)
        list.push_back({{"path", p.path}, {"reason", p.reason}});
    return list;
}

void printProblems(const std::string& heading, const ProblemList& problems, std::ostream& out) {
    if (problems.empty())
        return;
    out << heading << " (" << problems.size() << "):\n";
    for (const Problem& p : problems)
        out << "  " << shown(p.path) << ": " << shown(p.reason) << "\n";
}

nlohmann::json planJson(const Plan& plan) {
    nlohmann::json list = nlohmann::json::array();
    for (const PlanItem* p : inCategoryOrder(plan)) {
        nlohmann::json entry{{"category", p->category},
                             {"path", p->path},
                             {"action", actionName(p->action)},
                             {"size", p->size >= 0 ? nlohmann::json(p->size) : nullptr}};
        if (!p->name.empty())
            entry["name"] = p->name;
        if (!p->replacement.empty())
            entry["replacement"] = p->replacement;
        if (!p->note.empty())
            entry["note"] = p->note;
        list.push_back(entry);
    }
    return list;
}

nlohmann::json outcomeJson(const ToolEngine& engine, const Plan& plan, const CleanOutcome* outcome,
                           const ProblemList& scanProblems) {
    nlohmann::json left = nlohmann::json::array();
    ProblemList problems = scanProblems;
    if (outcome) {
        for (const LeftItem& l : outcome->left)
            left.push_back({{"path", l.path}, {"reason", l.reason}});
        problems.insert(problems.end(), outcome->problems.begin(), outcome->problems.end());
    }
    return {{"tool", toolCommandName(engine)},
            {"dryRun", outcome == nullptr},
            {"plan", planJson(plan)},
            {"plannedBytes", plan.bytes()},
            {"removed", outcome ? outcome->removed : 0},
            {"bytes", outcome ? outcome->bytes : 0},
            {"issues", outcome ? outcome->issues : 0},
            {"left", left},
            {"problems", problemsJson(problems)},
            {"stopped", outcome ? outcome->stopped : false}};
}

void cleanTool(ToolEngine& engine, const CleanOptions& options, const ProblemList& scanProblems) {
    const Plan plan = engine.plan();
    if (!options.yes) {
        if (options.json) {
            printJson(outcomeJson(engine, plan, nullptr, scanProblems), std::cout);
            return;
        }
        std::cout << "Would clean " << plan.items.size()
                  << plural(static_cast<std::int64_t>(plan.items.size()), " item", " items") << " ("
                  << sizeText(plan.bytes()) << "):\n";
        printPlan(plan, std::cout);
        printProblems("Problems", scanProblems, std::cout);
        std::cout << "Nothing was removed. Run again with --yes to carry this out.\n";
        return;
    }
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    recordCleanStart(defaults, engine.toolIndex(), now());
    CleanOutcome outcome;
    runWithProgress("Cleaning...", [&](std::stop_token stop, const ProgressSink& progress) {
        outcome = engine.clean(plan, stop, progress);
    });
    recordCleanEnd(defaults, outcome.bytes, now());
    if (options.json) {
        printJson(outcomeJson(engine, plan, &outcome, scanProblems), std::cout);
    } else {
        printOutcome(outcome, std::cout);
        printProblems("Problems", scanProblems, std::cout);
        printProblems("Problems", outcome.problems, std::cout);
    }
    std::cout.flush();
    if (!outcome.left.empty() || outcome.stopped || options.couldNotAct)
        throw CommandExit(exitcode::Partial);
}

} // namespace tessaly::cli
