#pragma once

#include "ScanCode/ToolEngine.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly::cli {

// What every tool command shares: the progress runner, the scan, and the clean
// whose dry run prints the very plan that --yes carries out.

// Runs work on a worker thread while this thread keeps the main queue going and
// draws the latest progress on standard error (on a terminal only). An interrupt
// (Ctrl-C) asks the work to stop and lets it end cleanly; a second one ends the
// program at once.
void runWithProgress(const std::string& first,
                     const std::function<void(std::stop_token, const ProgressSink&)>& work);

// Ends the command with an error when the home folder does not exist, so that a
// mistyped TESSALY_HOME never passes for a clean home.
void requireHomeFolder();

// The folders a command was given, as real paths (a folder named through a link
// is walked as the folder itself), each once and none inside another; "no such
// folder" and "not a folder" end the command with a usage error.
std::vector<std::string> folderArguments(const std::vector<std::string>& given);

// Scans with progress; a scan stopped by an interrupt ends the command (exit 1).
ScanSummary scanTool(ToolEngine& engine);

// One row of a scan's summary: a module, category, class or kind, by its name.
struct ScanModule {
    std::string name;
    std::int64_t size = 0, count = 0, checkedSize = 0, checkedCount = 0;
    nlohmann::json details = nlohmann::json::object(); // the row's own members ("items", ...)

    // Counts one item of the row.
    void add(std::int64_t bytes, bool checked) {
        size += bytes;
        count += 1;
        checkedSize += checked ? bytes : 0;
        checkedCount += checked ? 1 : 0;
    }
};

// A scan as JSON, in the shape every scan command shares:
//   {"tool": COMMAND, "modules": [{"module": NAME, "size", "count", "checkedSize",
//    "checkedCount", ...}], "totalSize", "totalCount", "checkedSize",
//    "checkedCount", "problems": [{path, reason}], ...}
// The totals add up the modules; `details` adds the tool's own members (its
// groups, classes or findings) beside them.
nlohmann::json scanJson(const ToolEngine& engine, const std::vector<ScanModule>& modules,
                        const ProblemList& problems,
                        const nlohmann::json& details = nlohmann::json::object());

// Problems as JSON ([{path, reason}]) and as text lines ("  PATH: reason").
nlohmann::json problemsJson(const ProblemList& problems);
void printProblems(const std::string& heading, const ProblemList& problems, std::ostream& out);

struct CleanOptions {
    bool yes = false;
    bool json = false;
    // Set when the scan could not look at something the clean was asked to
    // clean (a database in use, a folder whose files were never read): the
    // clean then ends as partial, like one that left something in place.
    bool couldNotAct = false;
};

// The destructive half of every clean command: takes the engine's plan; without
// --yes prints it; with --yes records the clean's start, carries out exactly that
// plan, records its end (last clean date, cleaned total) and prints the outcome.
// Ends with exit code 3 when something was left in place (or the command says
// it could not act on everything). The scan's problems are printed with the
// result.
void cleanTool(ToolEngine& engine, const CleanOptions& options, const ProblemList& scanProblems);

// The JSON of a plan and of an outcome (one shape for a dry run and a real one).
nlohmann::json planJson(const Plan& plan);
nlohmann::json outcomeJson(const ToolEngine& engine, const Plan& plan, const CleanOutcome* outcome,
                           const ProblemList& scanProblems);

} // namespace tessaly::cli
