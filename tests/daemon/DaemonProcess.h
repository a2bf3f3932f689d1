#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessaly::test {

// The real DornDaemon binary serving on a socket in a temporary folder, its
// log (standard error) kept in a file. It accepts the running user as a caller
// and reads no roots file but the one the arguments may name; the places it may
// act in are given with --allow-root. Stopped (SIGTERM) when the object goes away.
class DaemonProcess {
public:
    // socketPath: where to serve; extraArguments are added to the command line.
    explicit DaemonProcess(std::string socketPath, std::vector<std::string> extraArguments = {},
                           std::string logPath = {});
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    // Waits until the service answers (up to a generous bound); false if it never does.
    bool waitUntilReady() const;
    bool isRunning() const;
    void stop();

    const std::string& socketPath() const { return socket_; }
    pid_t pid() const { return pid_; }
    std::string log() const;

    static std::string binaryPath();

private:
    std::string socket_;
    std::string log_;
    pid_t pid_ = -1;
};

} // namespace tessaly::test
