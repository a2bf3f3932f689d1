// DornDaemon: the privileged service. Serves the command set of CommandRunner on
// a Unix-domain socket (see HelperProtocol.h for the wire format).
//
//   DornDaemon [--socket PATH] [--allow-uid UID]... [--launchctl PATH] [--lipo PATH]
//   DornDaemon --probe [--socket PATH]     exit status 0 when the service answers
//   DornDaemon --version
#include "daemon/CommandRunner.h"
#include "daemon/HelperProtocol.h"
#include "daemon/Launchctl.h"
#include "daemon/Probe.h"
#include "daemon/Server.h"
#include "platform/Log.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

int usage() {
    std::fputs("usage: DornDaemon [--socket PATH] [--allow-uid UID]... [--launchctl PATH] "
               "[--lipo PATH] | --probe [--socket PATH] | --version\n",
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

} // namespace

int main(int argc, char** argv) {
    std::string socketPath = dorn::protocol::kDefaultSocketPath;
    std::set<uid_t> allowed;
    dorn::RunnerOptions options{dorn::kDefaultLaunchctl, "/usr/bin/lipo"};
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
            allowed.insert(uid);
        } else if (a == "--launchctl" && hasValue) {
            options.launchctlTool = argv[++i];
        } else if (a == "--lipo" && hasValue) {
            options.lipoTool = argv[++i];
        } else {
            return usage();
        }
    }
    if (probe)
        return dorn::probeService(socketPath) ? 0 : 1;

    std::signal(SIGPIPE, SIG_IGN);
    dorn::CommandRunner runner(options);
    dorn::Server server(runner, socketPath, allowed);
    std::string error;
    if (!server.listen(&error)) {
        tessaly::log::line(error);
        return 1;
    }
    server.run();
    return 0;
}
