#pragma once

#include "ScanCode/browser/BrowserPlaces.h"
#include "platform/ProcessList.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly {

// A browser that runs now, with its processes.
struct RunningBrowser {
    std::string bundleIdentifier;
    std::string name;
    int browser = 0;
    std::vector<pid_t> processes;
};

using ProcessSource = std::function<std::vector<process::RunningProcess>()>;

// The browsers that run now, in the layout's order: the user's processes whose
// executable is one of a browser's. Safari is never found on this system.
std::vector<RunningBrowser> hasBrowserRun(const BrowserLayout& layout,
                                          const ProcessSource& processes);

// Asks every process of the browser to quit (a polite request; nothing waits for
// it). False when none could be asked.
bool quitBrowser(const RunningBrowser& browser);

} // namespace tessaly
