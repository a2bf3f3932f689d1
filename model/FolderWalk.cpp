#include "model/FolderWalk.h"

#include "model/CommonFunction.h"
#include "model/Problem.h"
#include "model/QueueAddition.h"
#include "platform/FileKinds.h"
#include "platform/Paths.h"

#include <vector>

namespace tessaly {

std::string WalkEntry::path() const {
    return paths::join(parent_, reader_.name());
}

bool walkFolder(const std::string& root, const std::function<WalkDecision(const WalkEntry&)>& visit,
                const std::function<bool()>& cancelled,
                const std::function<void(const std::string&)>& enterFolder) {
    std::vector<std::string> stack;
    dornPush(stack, root);
    while (auto folder = dornPop(stack)) {
        if (cancelled && cancelled())
            return false;
        if (enterFolder)
            enterFolder(*folder);
        DirectoryReader reader(*folder);
        if (!reader.isOpen())
            ProblemCollector::reportUnreadable(*folder, reader.openError());
        while (reader.next()) {
            if (cancelled && cancelled())
                return false;
            WalkEntry entry(*folder, reader);
            WalkDecision d = visit(entry);
            if (d == WalkDecision::Stop)
                return false;
            if (d == WalkDecision::Descend && reader.isDirectory())
                dornPush(stack, entry.path());
        }
    }
    return true;
}

std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled) {
    return directorySize(path, cancelled, PackageSizing::Descend);
}

bool isPackageFolder(const std::string& name, const std::string& path) {
    return fileattr::isPackageName(name) || CommonFunction::isPackage(path);
}

std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled,
                           PackageSizing packages) {
    std::int64_t total = 0;
    walkFolder(
        path,
        [&total, packages](const WalkEntry& e) {
            if (e.isDirectory() &&
                (packages == PackageSizing::Descend || !isPackageFolder(e.name(), e.path())))
                return WalkDecision::Descend;
            const auto& info = e.info();
            if (info.exists)
                total += CommonFunction::getDiskFileSize(info.size);
            return WalkDecision::Continue;
        },
        cancelled);
    return total;
}

std::int64_t itemSize(const std::string& path, const std::function<bool()>& cancelled) {
    auto info = fileattr::entryInfo(path);
    if (!info.exists)
        return 0;
    if (info.isDirectory)
        return directorySize(path, cancelled);
    return info.size;
}

} // namespace tessaly
