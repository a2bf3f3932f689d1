#include "platform/HomeLayout.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace tessaly::layout {

HomeLayout current() {
    if (const char* chosen = std::getenv("TESSALY_LAYOUT")) {
        if (std::strcmp(chosen, "macos") == 0)
            return HomeLayout::MacOS;
        if (std::strcmp(chosen, "linux") == 0)
            return HomeLayout::Linux;
    }
    struct stat st {};
    const std::string library = paths::join(paths::homePath(), "Library");
    return ::stat(library.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? HomeLayout::MacOS
                                                                    : HomeLayout::Linux;
}

const char* name(HomeLayout layout) {
    return layout == HomeLayout::MacOS ? "macos" : "linux";
}

std::string appDataFolder() {
    if (current() == HomeLayout::MacOS)
        return paths::join(paths::homePath(), "Library/Application Support/Tessaly");
    return paths::join(paths::xdgDataHome(), "Tessaly");
}

std::string appStateFolder() {
    if (current() == HomeLayout::MacOS)
        return appDataFolder();
    return paths::join(paths::xdgStateHome(), "Tessaly");
}

} // namespace tessaly::layout
