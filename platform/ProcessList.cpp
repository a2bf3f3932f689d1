#include "platform/ProcessList.h"

#include "platform/DirectoryReader.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::process {

namespace {

bool allDigits(const char* s) {
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

std::string executableName(const std::string& folder) {
    char buf[4096];
    ssize_t n = ::readlink((folder + "/exe").c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        std::string target(buf, static_cast<std::size_t>(n));
        // A replaced executable reads as "/path/name (deleted)".
        const std::string deleted = " (deleted)";
        if (target.size() > deleted.size() &&
            target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
            target.resize(target.size() - deleted.size());
        return paths::lastComponent(target);
    }
    std::ifstream comm(folder + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

std::vector<RunningProcess> runningProcesses() {
    std::vector<RunningProcess> out;
    const uid_t me = ::getuid();
    DirectoryReader proc("/proc");
    while (proc.isOpen() && proc.next()) {
        if (!allDigits(proc.name()))
            continue;
        const std::string folder = std::string("/proc/") + proc.name();
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        RunningProcess p;
        p.pid = static_cast<pid_t>(std::strtol(proc.name(), nullptr, 10));
        p.executable = executableName(folder);
        if (!p.executable.empty())
            out.push_back(std::move(p));
    }
    std::sort(out.begin(), out.end(),
              [](const RunningProcess& a, const RunningProcess& b) { return a.pid < b.pid; });
    return out;
}

bool requestTerminate(pid_t pid) {
    return pid > 0 && ::kill(pid, SIGTERM) == 0;
}

} // namespace tessaly::process
