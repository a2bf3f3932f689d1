#include "platform/RunningApplications.h"

#include "platform/Paths.h"
#include "platform/ProcessList.h"
#include "platform/PropertyList.h"

#include <map>

namespace tessaly {

namespace {

RunningApplication describe(const std::string& executable, int pid) {
    RunningApplication app;
    app.pid = pid;
    const std::string marker = ".app/Contents/MacOS/";
    std::size_t at = executable.rfind(marker);
    if (at != std::string::npos) {
        std::string bundle = executable.substr(0, at + 4);
        app.localizedName = paths::deletingExtension(paths::lastComponent(bundle));
        if (auto info = plist::readFile(paths::join(bundle, "Contents/Info.plist")))
            app.bundleIdentifier = info->stringForKey("CFBundleIdentifier");
        if (!app.bundleIdentifier.empty())
            return app;
    }
    app.bundleIdentifier = paths::lastComponent(executable);
    if (app.localizedName.empty())
        app.localizedName = app.bundleIdentifier;
    return app;
}

} // namespace

std::vector<RunningApplication> runningApplications(const std::string& proc) {
    std::map<pid_t, std::string> executables;
    std::vector<process::RunningProcess> processes = process::runningProcesses(proc);
    for (const process::RunningProcess& p : processes)
        if (!p.executablePath.empty())
            executables[p.pid] = p.executablePath;
    std::vector<RunningApplication> out;
    for (const process::RunningProcess& p : processes) {
        if (p.executablePath.empty())
            continue; // a kernel thread, or unreadable
        auto parent = executables.find(p.parent);
        if (parent != executables.end() && parent->second == p.executablePath)
            continue;
        out.push_back(describe(p.executablePath, p.pid));
    }
    return out;
}

} // namespace tessaly
