#pragma once

#include "model/Problem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// What every tool engine offers its screen and its command: a scan, the plan of
// what a clean would do, and a clean that carries out exactly that plan. Stop
// and progress are passed in; problems are returned as data.

// What a long run is doing now. Sent from the working threads: a sink must be
// cheap and thread-safe (a screen hops to its own thread, the command line keeps
// the latest event for its progress line).
struct ProgressEvent {
    std::string phase;    // what is being done ("Scanning User Cache", "Removing")
    std::string path;     // the path being examined, when there is one
    double fraction = -1; // 0..1 of the whole run; negative when not known
};
using ProgressSink = std::function<void(const ProgressEvent&)>;

// Sends an event when a sink is given.
inline void report(const ProgressSink& sink, ProgressEvent event) {
    if (sink)
        sink(event);
}

struct ScanSummary {
    bool stopped = false;
    ProblemList problems; // folders that could not be read, tasks that failed
};

// What a clean does with one path.
enum class PlanAction {
    Remove,      // the file or folder goes
    Replace,     // `replacement` is renamed over `path` in one step
    Thin,        // an executable is rewritten with only this machine's code
    RewriteList, // an entry leaves a list kept in a file (`path` is the list's file)
    Erase,       // the file (every file of the folder) is overwritten, then removed
    Unload,      // a launch job is stopped, then its description (`path`) is removed
    Uninstall,   // a package tool removes the application (`name`; `path` its desktop entry)
};
// "remove", "replace", "thin", "rewrite-list", "erase", "unload", "uninstall".
const char* actionName(PlanAction action);

// One step of a clean.
struct PlanItem {
    std::string category;   // the module or category it belongs to
    int categoryOrder = 0;  // categories are shown in this order
    std::string path;       // always a path: the item, or the list file for RewriteList
    std::string name;       // what the user knows it as (a login item's name)
    std::int64_t size = -1; // bytes it frees; negative when not known before it runs
    PlanAction action = PlanAction::Remove;
    std::string replacement;      // Replace: the file that takes its place
    std::string note;             // why, in plain words, when there is more to say
    std::shared_ptr<void> record; // the engine's own result record this step belongs to
};

struct Plan {
    std::vector<PlanItem> items;
    // Bytes of the steps whose size is known.
    std::int64_t bytes() const;
};

// What a clean left in place, and why.
struct LeftItem {
    std::string path;
    std::string reason;
};

struct CleanOutcome {
    std::int64_t removed = 0; // items removed (or fixed)
    std::int64_t bytes = 0;   // bytes really freed
    std::int64_t issues = 0;  // removed items that have no size (broken login items, jobs)
    std::vector<LeftItem> left;
    ProblemList problems;
    bool stopped = false;
};

class ToolEngine {
public:
    virtual ~ToolEngine() = default;

    virtual std::string toolName() const = 0;
    virtual std::int64_t toolIndex() const = 0;

    // Scans (blocking, on a background thread); the results stay in the engine.
    virtual ScanSummary scan(std::stop_token stop, const ProgressSink& progress) = 0;
    // What a clean of the ticked results would do, in category order.
    virtual Plan plan() const = 0;
    // Carries out the plan (blocking) and returns only when all of its work has
    // ended: what is counted is gone from the disk, everything else is left with
    // its reason. Items not handled because of a stop stay listed and ticked.
    virtual CleanOutcome clean(const Plan& plan, std::stop_token stop,
                               const ProgressSink& progress) = 0;
};

// The stop request of an engine's current run, for the engines' own stop calls
// (a screen's Stop button) beside the token a caller passes in. prepare(), called
// on the caller's thread before the run is queued, keeps a stop that comes
// before the run has begun; begin() starts the run with the prepared request (a
// fresh one when none was prepared), linked to the caller's token, so that either
// stops it.
class RunStop {
public:
    void prepare();
    std::stop_token begin(std::stop_token caller = {});
    // Stops the current run (or the prepared one).
    void request();
    bool requested() const;

private:
    using Link = std::stop_callback<std::function<void()>>;
    mutable std::mutex mutex_;
    std::stop_source source_;
    std::unique_ptr<Link> link_;
    bool prepared_ = false;
};

} // namespace tessaly
