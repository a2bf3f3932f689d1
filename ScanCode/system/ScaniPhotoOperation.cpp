#include "ScanCode/system/ScaniPhotoOperation.h"

#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/SystemModules.h"
#include "model/FileTypes.h"
#include "model/FolderWalk.h"
#include "model/ThumbnailReference.h"
#include "platform/FileAttributes.h"
#include "platform/ImageSignature.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <exception>
#include <vector>

namespace tessaly {

namespace {

// Only plain files take part: a link in the library is never taken for a
// preview or a master, since cleaning would move or replace the link rather
// than the picture.
bool isRegularFile(const std::string& path) {
    auto info = fileattr::entryInfo(path);
    return info.exists && info.isRegular && !info.isSymlink;
}

} // namespace

ScaniPhotoOperation::ScaniPhotoOperation(std::optional<std::string> library, ScanServices services,
                                         ScanDelegate* scanDelegate)
    : libraryPath(std::move(library)), delegate(scanDelegate), services_(std::move(services)) {}

bool ScaniPhotoOperation::isImageFile(const std::string& path) {
    if (imagekind::fileTypeBySignature(path))
        return true;
    const std::string type = filetype::typeOf(path);
    return filetype::conformsTo(type, "public.image") && !imagekind::hasKnownSignature(type);
}

void ScaniPhotoOperation::main() {
    if (isCancelled())
        return;
    runModuleScan(delegate, sysmodule::iPhotoCache, [this] { return scaniPhoto(); });
    log::line("scaniPhoto end");
}

ScanItemList ScaniPhotoOperation::scaniPhoto() {
    ScanItemList out;
    if (!libraryPath || libraryPath->empty())
        return out;
    const int points = thumbnailPoints(services_.isRetina && services_.isRetina());
    const std::string previews = paths::join(*libraryPath, "Previews");
    const std::string masters = paths::join(*libraryPath, "Masters");

    std::vector<std::string> found;
    walkFolder(
        previews,
        [&found](const WalkEntry& entry) {
            const char* name = entry.name();
            if (entry.isDirectory())
                return name[0] == '.' ? WalkDecision::Continue : WalkDecision::Descend;
            std::string path = entry.path();
            if (!entry.isSymlink() && entry.info().isRegular && isImageFile(path))
                found.push_back(std::move(path));
            return WalkDecision::Continue;
        },
        [this] { return isCancelled(); },
        [this](const std::string& folder) { announcePath(delegate, folder); });

    for (const std::string& preview : found) {
        if (isCancelled())
            break;
        // The preview's place below "Previews", e.g. "/2014/Trip/IMG_1.jpg".
        const std::string relative = preview.substr(previews.size());
        const std::string name = paths::lastComponent(preview);
        std::vector<std::string> candidates{masters + relative};
        // One folder higher, when the preview lies in a folder of its own: a
        // preview at the top of "Previews" has no higher place inside "Masters".
        const std::string folder = paths::deletingLastComponent(relative);
        if (folder != "/" && !folder.empty())
            candidates.push_back(paths::join(masters + paths::deletingLastComponent(folder), name));
        for (const std::string& master : candidates) {
            if (!fileattr::entryInfo(master).exists)
                continue;
            // The first candidate that exists is the master, image or not.
            if (isRegularFile(master) && isImageFile(master)) {
                auto item = std::make_shared<ScaneOuputObject>();
                item->path = master;
                item->prePath = preview;
                item->name = name;
                // The preview is the cached copy that a clean removes; its size is what goes.
                item->fileSize = fileattr::entryInfo(preview).size;
                item->stamp = fileattr::stampOf(fileattr::entryInfo(preview));
                item->isCheck = true;
                item->icon = makeThumbnailReference(master, points);
                out.push_back(std::move(item));
            }
            break;
        }
    }
    sortUsing(out, [](const ScanItem& a, const ScanItem& b) { return a->compare(*b); });
    return out;
}

} // namespace tessaly
