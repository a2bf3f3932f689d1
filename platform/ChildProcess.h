#pragma once

#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly {

// What a child does with its standard output.
enum class ChildOutput {
    Inherit, // shares ours
    Discard, // goes to /dev/null
    Capture, // standard output and error go to a pipe read through takeOutputFd()
};

// A child process started from an executable path with arguments (no shell), so
// every argument reaches the program as exactly one argument.
class ChildProcess {
public:
    // Starts the program; false when it cannot be started (missing, not executable).
    bool launch(const std::string& executable, const std::vector<std::string>& arguments,
                ChildOutput output = ChildOutput::Inherit);

    // Waits for the child to end and returns its exit status (128 + signal when
    // killed, -1 when nothing was running).
    int waitUntilExit();

    // Asks the child to end (SIGTERM); safe from another thread while one waits.
    void terminate();

    bool isRunning() const;
    pid_t pid() const;

    // With ChildOutput::Capture: the pipe's reading end, which the caller reads
    // to its end and closes; -1 otherwise (or once taken).
    int takeOutputFd();

private:
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
    int outputFd_ = -1;
};

// Runs a program to its end and returns its exit status, or -1 when it cannot start.
int runProcess(const std::string& executable, const std::vector<std::string>& arguments,
               ChildOutput output = ChildOutput::Inherit);

// The same, with what the program writes (standard output and error together, at
// most 64 KiB) kept in *output instead of reaching ours.
int runProcessCapturing(const std::string& executable, const std::vector<std::string>& arguments,
                        std::string* output);

} // namespace tessaly
