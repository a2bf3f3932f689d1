#include "daemon/Launchctl.h"

#include "platform/ChildProcess.h"
#include "platform/Log.h"

#include <unistd.h>

namespace dorn {

void runLaunchctl(const std::string& tool, const std::vector<std::string>& arguments) {
    if (tool.empty() || ::access(tool.c_str(), X_OK) != 0) {
        std::string line = "no service manager tool at \"" + tool + "\"; not run: launchctl";
        for (const auto& a : arguments)
            line += " \"" + a + "\"";
        tessaly::log::line(line);
        return;
    }
    tessaly::runProcess(tool, arguments, tessaly::ChildOutput::Discard);
}

} // namespace dorn
