#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly::process {

// One running program of the user.
struct RunningProcess {
    pid_t pid = 0;
    std::string executable; // the executable's file name ("firefox-esr"), else the command name
};

// The processes of the running user, in process-number order. Processes that end
// while they are listed are left out.
std::vector<RunningProcess> runningProcesses();

// Asks a process politely to end (it may save its state first); nothing waits for
// it. False when it could not be asked (gone, or not the user's).
bool requestTerminate(pid_t pid);

} // namespace tessaly::process
