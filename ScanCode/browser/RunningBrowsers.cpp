#include "ScanCode/browser/RunningBrowsers.h"

#include <algorithm>

namespace tessaly {

std::vector<RunningBrowser> hasBrowserRun(const BrowserLayout& layout,
                                          const ProcessSource& processes) {
    std::vector<RunningBrowser> out;
    if (!processes)
        return out;
    const std::vector<process::RunningProcess> running = processes();
    for (const RunningBrowserRule& rule : layout.browsers) {
        RunningBrowser b{rule.bundleIdentifier, rule.name, rule.browser, {}};
        for (const process::RunningProcess& p : running)
            if (std::find(rule.executables.begin(), rule.executables.end(), p.executable) !=
                rule.executables.end())
                b.processes.push_back(p.pid);
        if (!b.processes.empty())
            out.push_back(std::move(b));
    }
    return out;
}

bool quitBrowser(const RunningBrowser& browser) {
    bool asked = false;
    for (pid_t pid : browser.processes)
        asked = process::requestTerminate(pid) || asked;
    return asked;
}

} // namespace tessaly
