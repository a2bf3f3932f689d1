#include "platform/ProcessList.h"

#include "platform/DirectoryReader.h"
#include "platform/Paths.h"

#include <algorithm>
#include <climits>
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

std::string executablePathOf(const std::string& folder) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink((folder + "/exe").c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string target(buf, static_cast<std::size_t>(n));
    // A replaced executable reads as "/path/name (deleted)".
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
        target.resize(target.size() - deleted.size());
    return target;
}

std::string commandName(const std::string& folder) {
    std::ifstream comm(folder + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The parent's process id from "pid (name) state ppid ..."; the name may hold
// spaces and parentheses, so the fields are read after the last ')'.
pid_t parentOf(const std::string& folder) {
    std::ifstream in(folder + "/stat");
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
    return static_cast<pid_t>(std::strtol(p, nullptr, 10));
}

} // namespace

std::vector<RunningProcess> runningProcesses(const std::string& proc) {
    std::vector<RunningProcess> out;
    const uid_t me = ::geteuid();
    DirectoryReader reader(proc);
    while (reader.isOpen() && reader.next()) {
        if (!allDigits(reader.name()))
            continue;
        const std::string folder = paths::join(proc, reader.name());
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || st.st_uid != me)
            continue;
        RunningProcess p;
        p.pid = static_cast<pid_t>(std::strtol(reader.name(), nullptr, 10));
        p.executablePath = executablePathOf(folder);
        p.executable =
            p.executablePath.empty() ? commandName(folder) : paths::lastComponent(p.executablePath);
        if (p.executable.empty())
            continue; // gone meanwhile
        p.parent = parentOf(folder);
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
