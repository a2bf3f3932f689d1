#pragma once

#include <string>
#include <vector>

namespace tessaly {

// Something a scan or a clean met that did not stop it (a folder that could not
// be read, a task that failed, an item left in place): kept with its path and
// shown to the user at the end, never swallowed.
struct Problem {
    std::string path;   // the file or folder concerned; a module's name for a failed task
    std::string reason; // plain words: "permission denied", "changed since the scan", ...
};

using ProblemList = std::vector<Problem>;

// Plain words for an errno value ("permission denied", "no such file or folder").
std::string reasonForError(int error);

// Collects the problems reported on this thread while it lives. Collectors nest:
// a report goes to the innermost one; with none, it is dropped. A scan task
// opens one around its work, so that every walk and size computation inside it
// reports the folders it could not read without being handed a list.
class ProblemCollector {
public:
    ProblemCollector();
    ~ProblemCollector();
    ProblemCollector(const ProblemCollector&) = delete;
    ProblemCollector& operator=(const ProblemCollector&) = delete;

    // The problems collected so far, in the order met; the collector is then empty.
    ProblemList take();

    static void report(std::string path, std::string reason);
    // A folder or file that could not be read; a path that no longer exists is
    // not a problem (it went away during the scan).
    static void reportUnreadable(const std::string& path, int error);

private:
    ProblemCollector* outer_;
    ProblemList problems_;
};

} // namespace tessaly
