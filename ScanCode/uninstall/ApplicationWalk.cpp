#include "ScanCode/uninstall/ApplicationWalk.h"

#include "ScanCode/uninstall/BundleReader.h"
#include "model/CommonFunction.h"
#include "model/FolderWalk.h"
#include "platform/FileKinds.h"
#include "platform/Paths.h"

namespace tessaly {

void walkForApplications(const std::vector<std::string>& scopes, const std::string& excluded,
                         const std::function<void(AppItemRef)>& found) {
    for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
        walkFolder(*scope, [&](const WalkEntry& entry) {
            if (entry.isSymlink() || !entry.isDirectory())
                return WalkDecision::Continue;
            std::string path = entry.path();
            if (paths::extension(path) == "app") {
                found(appItemFromBundle(path, fileattr::displayName(path)));
                return WalkDecision::Continue;
            }
            if (CommonFunction::hiddenFile(entry.name()) || fileattr::isPackageName(entry.name()) ||
                path == excluded)
                return WalkDecision::Continue;
            return WalkDecision::Descend;
        });
    }
}

} // namespace tessaly
