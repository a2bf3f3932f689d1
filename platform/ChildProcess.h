#pragma once

#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly {

// A child process started from an executable path with arguments (no shell).
class ChildProcess {
public:
    // Starts the program; false when it cannot be started (missing, not executable).
    bool launch(const std::string& executable, const std::vector<std::string>& arguments);

    // Waits for the child to end and returns its exit status (128 + signal when
    // killed, -1 when nothing was running).
    int waitUntilExit();

    // Asks the child to end (SIGTERM); safe from another thread while one waits.
    void terminate();

    bool isRunning() const;
    pid_t pid() const;

private:
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
};

// Runs a program to its end and returns its exit status, or -1 when it cannot start.
int runProcess(const std::string& executable, const std::vector<std::string>& arguments);

} // namespace tessaly
