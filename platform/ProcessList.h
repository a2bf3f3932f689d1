#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly::process {

// One running program of the user.
struct RunningProcess {
    pid_t pid = 0;
    pid_t parent = 0;
    // The executable's full path ("/usr/lib/firefox-esr/firefox-esr"); empty when
    // it cannot be read (a kernel thread, a process of another user).
    std::string executablePath;
    // The executable's file name ("firefox-esr"), else the command name.
    std::string executable;
};

// The processes of the running user read from the process table (proc: "/proc",
// or a stand-in tree of tests), in process-number order. Processes that end while
// they are listed are left out.
std::vector<RunningProcess> runningProcesses(const std::string& proc = "/proc");

// Asks a process politely to end (it may save its state first); nothing waits for
// it. False when it could not be asked (gone, or not the user's).
bool requestTerminate(pid_t pid);

} // namespace tessaly::process
