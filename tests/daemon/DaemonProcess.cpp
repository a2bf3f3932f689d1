#include "tests/daemon/DaemonProcess.h"

#include "helper/HelperConnection.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tessaly::test {

std::string DaemonProcess::binaryPath() {
    return DORN_DAEMON_PATH;
}

DaemonProcess::DaemonProcess(std::string socketPath, std::vector<std::string> extraArguments,
                             std::string logPath)
    : socket_(std::move(socketPath)),
      log_(logPath.empty() ? socket_ + ".log" : std::move(logPath)) {
    // The running user may call (as the application would), and no roots file of
    // the machine is read; the arguments given come after and may say otherwise.
    std::vector<std::string> args{
        binaryPath(),   "--socket",           socket_, "--allow-uid", std::to_string(::getuid()),
        "--roots-file", socket_ + ".no-roots"};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

DaemonProcess::~DaemonProcess() {
    stop();
}

void DaemonProcess::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool DaemonProcess::isRunning() const {
    if (pid_ <= 0)
        return false;
    siginfo_t info{};
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

bool DaemonProcess::waitUntilReady() const {
    for (int i = 0; i < 500 && isRunning(); ++i) {
        HelperConnection c;
        if (c.lookup("removeFile:", socket_))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string DaemonProcess::log() const {
    return readText(log_);
}

} // namespace tessaly::test
