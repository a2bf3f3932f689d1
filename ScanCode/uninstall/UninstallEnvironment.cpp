#include "ScanCode/uninstall/UninstallEnvironment.h"

#include "helper/FileManagerAddation.h"
#include "platform/LoginItemsStore.h"

#include <cstdlib>
#include <unistd.h>

namespace tessaly {

UninstallEnvironment UninstallEnvironment::system() {
    UninstallEnvironment env;
    env.runningApplications = [] { return tessaly::runningApplications(); };
    env.removeSystemFile = systemPrivilegedRemoval();
    env.stopRemoveSystemFile = systemPrivilegedStop();
    env.unloadSerevr = [](const std::string& path) {
        return FileManagerAddation::unloadSerevr(path);
    };
    env.userServiceTool = "/usr/bin/systemctl";
    env.temporaryFolder = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp == '/' ? tmp : "/tmp");
    };
    env.isAdministrator = [] { return ::geteuid() == 0; };
    env.loginItemsPath = [] { return LoginItemsStore::defaultPath(); };
    env.self = SelfRemovalEnvironment::system();
    return env;
}

} // namespace tessaly
