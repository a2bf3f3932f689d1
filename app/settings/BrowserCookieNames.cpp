#include "app/settings/BrowserCookieNames.h"

#include "ScanCode/browser/BroswerManager.h"

namespace tessaly {

std::vector<std::string> browserCookieNames() {
    return BroswerManager::shareBroswerManager().allCookies();
}

} // namespace tessaly
