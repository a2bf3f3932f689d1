#include "daemon/Launchctl.h"

#include "daemon/LogText.h"
#include "daemon/UniqueFd.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace dorn {

void runLaunchctl(const std::string& tool, const std::vector<std::string>& arguments) {
    if (tool.empty() || ::access(tool.c_str(), X_OK) != 0) {
        std::string line = "no service manager tool at " + quoted(tool) + "; not run: launchctl";
        for (const auto& a : arguments)
            line += " " + quoted(a);
        logLine(line);
        return;
    }
    tessaly::runProcess(tool, arguments, tessaly::ChildOutput::Discard);
}

std::string privateCopy(const std::string& name, const std::string& contents) {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base == '/' ? base : "/tmp") + "/tessaly-job-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return {};
    std::string path = folder + "/" + name;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    bool ok = static_cast<bool>(fd);
    for (std::size_t done = 0; ok && done < contents.size();) {
        ssize_t w = ::write(fd.get(), contents.data() + done, contents.size() - done);
        ok = w > 0;
        done += ok ? static_cast<std::size_t>(w) : 0;
    }
    if (ok)
        return path;
    removePrivateCopy(path);
    return {};
}

void removePrivateCopy(const std::string& path) {
    ::unlink(path.c_str());
    ::rmdir(tessaly::paths::deletingLastComponent(path).c_str());
}

} // namespace dorn
