#include "platform/ChildProcess.h"

#include <algorithm>
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
    int pipeFds[2] = {-1, -1};
    if (output == ChildOutput::Capture && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == ChildOutput::Discard)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (output == ChildOutput::Capture) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    }
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0)
        ::close(pipeFds[1]);
    if (rc != 0) {
        if (pipeFds[0] >= 0)
            ::close(pipeFds[0]);
        return false;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    pid_ = pid;
    outputFd_ = pipeFds[0];
    return true;
}

int ChildProcess::takeOutputFd() {
    std::lock_guard<std::mutex> guard(mutex_);
    int fd = outputFd_;
    outputFd_ = -1;
    return fd;
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

int runProcessCapturing(const std::string& executable, const std::vector<std::string>& arguments,
                        std::string* output) {
    constexpr std::size_t kMaxOutput = 64 * 1024;
    output->clear();
    ChildProcess p;
    if (!p.launch(executable, arguments, ChildOutput::Capture))
        return -1;
    int fd = p.takeOutputFd();
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        std::size_t room = kMaxOutput - std::min(kMaxOutput, output->size());
        output->append(buffer, std::min(room, static_cast<std::size_t>(n)));
    }
    ::close(fd);
    return p.waitUntilExit();
}

} // namespace tessaly
