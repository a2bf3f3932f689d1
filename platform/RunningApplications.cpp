#include "platform/RunningApplications.h"

#include "platform/DirectoryReader.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr const char* kDeleted = " (deleted)";

std::string executableOf(const std::string& processFolder) {
    char target[PATH_MAX];
    ssize_t n = ::readlink((processFolder + "/exe").c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    std::string path(target, static_cast<std::size_t>(n));
    const std::string deleted = kDeleted;
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path;
}

// The parent's process id from "pid (name) state ppid ..."; the name may hold
// spaces and parentheses, so the fields are read after the last ')'.
int parentOf(const std::string& processFolder) {
    std::ifstream in(processFolder + "/stat");
    std::string line;
    std::getline(in, line);
    std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    const char* p = line.c_str() + close + 1;
    while (*p == ' ')
        ++p;
    if (*p)
        ++p; // the state letter
    return static_cast<int>(std::strtol(p, nullptr, 10));
}

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

bool isProcessId(const char* name) {
    if (!*name)
        return false;
    for (const char* p = name; *p; ++p)
        if (*p < '0' || *p > '9')
            return false;
    return true;
}

} // namespace

std::vector<RunningApplication> runningApplications(const std::string& proc) {
    struct Process {
        std::string executable;
        int parent = 0;
    };
    std::map<int, Process> processes;
    DirectoryReader reader(proc);
    const uid_t me = ::geteuid();
    while (reader.next()) {
        if (!isProcessId(reader.name()))
            continue;
        const std::string folder = paths::join(proc, reader.name());
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        std::string executable = executableOf(folder);
        if (executable.empty())
            continue; // a kernel thread, or gone meanwhile
        processes[std::atoi(reader.name())] = {std::move(executable), parentOf(folder)};
    }
    std::vector<RunningApplication> out;
    for (const auto& [pid, process] : processes) {
        auto parent = processes.find(process.parent);
        if (parent != processes.end() && parent->second.executable == process.executable)
            continue;
        out.push_back(describe(process.executable, pid));
    }
    return out;
}

} // namespace tessaly
