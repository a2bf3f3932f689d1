#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessaly {

bool ChildProcess::launch(const std::string& executable, const std::vector<std::string>& arguments,
                          ChildOutput output) {
    if (::access(executable.c_str(), X_OK) != 0)
        return false;
    std::vector<std::string> args;
    args.push_back(executable);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == ChildOutput::Discard)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    std::lock_guard<std::mutex> guard(mutex_);
    pid_ = pid;
    return true;
}

int ChildProcess::waitUntilExit() {
    pid_t pid = this->pid();
    if (pid <= 0)
        return -1;
    // Wait without reaping first, so that terminate() can never signal a process
    // that has taken over the number after the child was reaped.
    siginfo_t info{};
    int r;
    do {
        r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pid_ = -1;
    }
    int status = 0;
    pid_t reaped;
    do {
        reaped = ::waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped < 0)
        return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

void ChildProcess::terminate() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (pid_ > 0)
        ::kill(pid_, SIGTERM);
}

bool ChildProcess::isRunning() const {
    return pid() > 0;
}

pid_t ChildProcess::pid() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return pid_;
}

int runProcess(const std::string& executable, const std::vector<std::string>& arguments,
               ChildOutput output) {
    ChildProcess p;
    if (!p.launch(executable, arguments, output))
        return -1;
    return p.waitUntilExit();
}

} // namespace tessaly
