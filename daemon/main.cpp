// DornDaemon: the privileged service. Serves the command set of CommandRunner on
// a Unix-domain socket (see HelperProtocol.h for the wire format).
//
//   DornDaemon [--socket PATH] [--allow-uid UID]... [--allow-root PATH]...
//              [--roots-file PATH] [--launchctl PATH] [--system-root PATH]
//              [--idle-timeout SECONDS] [--message-timeout SECONDS]
//   DornDaemon --probe [--socket PATH]     exit status 0 when the service answers
//   DornDaemon --version
#include "daemon/CommandRunner.h"
#include "daemon/HelperProtocol.h"
#include "daemon/Launchctl.h"
#include "daemon/LogText.h"
#include "daemon/Probe.h"
#include "daemon/Server.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultRootsFile = "/etc/tessaly/helper-roots";

int usage() {
    std::fputs("usage: DornDaemon [--socket PATH] [--allow-uid UID]... [--allow-root PATH]...\n"
               "                  [--roots-file PATH] [--launchctl PATH] [--system-root PATH]\n"
               "                  [--idle-timeout SECONDS] [--message-timeout SECONDS]\n"
               "       DornDaemon --probe [--socket PATH] | --version\n",
               stderr);
    return 2;
}

bool parseUid(const std::string& text, uid_t& out) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long v = std::stoul(text);
    if (v >= 0xFFFFFFFFul)
        return false;
    out = static_cast<uid_t>(v);
    return true;
}

// A positive number of seconds (fractions allowed) of at most a day.
bool parseSeconds(const std::string& text, std::chrono::milliseconds& out) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v > 0) || v > 86400)
        return false;
    out = std::chrono::milliseconds(static_cast<long long>(v * 1000 + 0.5));
    return out.count() > 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string socketPath = dorn::protocol::kDefaultSocketPath;
    std::string rootsFile = kDefaultRootsFile;
    std::vector<std::string> extraRoots;
    dorn::ServerOptions serverOptions;
    std::string launchctl = dorn::kDefaultLaunchctl;
    std::string systemRoot = "/"; // where the system rows lie (a fixture tree in tests)
    bool probe = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--version") {
            std::puts("DornDaemon 0.1.0");
            return 0;
        } else if (a == "--probe") {
            probe = true;
        } else if (a == "--socket" && hasValue) {
            socketPath = argv[++i];
        } else if (a == "--allow-uid" && hasValue) {
            uid_t uid = 0;
            if (!parseUid(argv[++i], uid))
                return usage();
            serverOptions.allowedUids.insert(uid);
        } else if (a == "--allow-root" && hasValue) {
            extraRoots.emplace_back(argv[++i]);
        } else if (a == "--roots-file" && hasValue) {
            rootsFile = argv[++i];
        } else if (a == "--launchctl" && hasValue) {
            launchctl = argv[++i];
        } else if (a == "--system-root" && hasValue) {
            systemRoot = argv[++i];
        } else if (a == "--idle-timeout" && hasValue) {
            if (!parseSeconds(argv[++i], serverOptions.idleLimit))
                return usage();
        } else if (a == "--message-timeout" && hasValue) {
            if (!parseSeconds(argv[++i], serverOptions.messageLimit))
                return usage();
        } else {
            return usage();
        }
    }
    if (probe)
        return dorn::probeService(socketPath) ? 0 : 1;

    std::signal(SIGPIPE, SIG_IGN);
    for (auto& root : dorn::AllowedRoots::readRootsFile(rootsFile))
        extraRoots.push_back(std::move(root));
    dorn::CommandRunner runner({launchctl, dorn::AllowedRoots(extraRoots, systemRoot), {}});
    dorn::Server server(runner, socketPath, serverOptions);
    std::string error;
    if (!server.listen(&error)) {
        dorn::logLine(error);
        return 1;
    }
    server.run();
    return 0;
}
