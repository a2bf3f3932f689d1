// Test entry point: every test process gets its own fixture home and system
// root, so no test can reach the real home folder, settings or system folders.
#include "helper/FileManagerAddation.h"
#include "tests/support/TempTree.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv) {
    tessaly::test::TempTree sandbox;
    std::string home = sandbox.dir("home");
    std::string root = sandbox.dir("root");
    ::setenv("TESSALY_HOME", home.c_str(), 1);
    ::setenv("TESSALY_ROOT", root.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("TESSALY_HELPER_SOCKET");
    // The freedesktop folders follow the fixture home; the fixtures are laid out
    // the macOS way unless a test chooses the Linux layout.
    for (const char* name :
         {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
        ::unsetenv(name);
    ::setenv("TESSALY_LAYOUT", "macos", 1);
    // The tests stand for a user with the helper, also where they run as root.
    tessaly::FileManagerAddation::setRootActsDirectlyForTesting(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
