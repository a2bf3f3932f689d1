#include "model/FolderWalk.h"

#include "model/CommonFunction.h"
#include "model/Problem.h"
#include "model/QueueAddition.h"
#include "platform/FileKinds.h"
#include "platform/Paths.h"

#include <map>
#include <utility>
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

bool isPackageFolder(const std::string& name, const std::string& path) {
    return fileattr::isPackageName(name) || CommonFunction::isPackage(path);
}

std::int64_t directorySize(const std::string& path, const std::function<bool()>& cancelled) {
    const fileattr::EntryInfo top = fileattr::entryInfo(path);
    if (!top.isDirectory)
        return itemSize(path, top, cancelled);
    std::int64_t total = CommonFunction::getDiskFileSize(top);
    // Files with several names: how many of their names the walk met.
    struct Names {
        std::uint64_t met = 0;
        std::uint64_t all = 0;
        std::int64_t size = 0;
    };
    std::map<std::pair<std::uint64_t, std::uint64_t>, Names> shared;
    walkFolder(
        path,
        [&](const WalkEntry& e) {
            const auto& info = e.info();
            if (!info.exists)
                return WalkDecision::Continue;
            if (!info.isDirectory && info.linkCount > 1) {
                Names& n = shared[{info.device, info.inode}];
                n.met += 1;
                n.all = info.linkCount;
                n.size = CommonFunction::getDiskFileSize(info);
                return WalkDecision::Continue;
            }
            total += CommonFunction::getDiskFileSize(info);
            return info.isDirectory ? WalkDecision::Descend : WalkDecision::Continue;
        },
        cancelled);
    for (const auto& entry : shared)
        if (entry.second.met >= entry.second.all)
            total += entry.second.size;
    return total;
}

std::int64_t itemSize(const std::string& path, const std::function<bool()>& cancelled) {
    return itemSize(path, fileattr::entryInfo(path), cancelled);
}

std::int64_t itemSize(const std::string& path, const fileattr::EntryInfo& info,
                      const std::function<bool()>& cancelled) {
    if (!info.exists)
        return 0;
    if (info.isDirectory)
        return directorySize(path, cancelled);
    return info.linkCount > 1 ? 0 : CommonFunction::getDiskFileSize(info);
}

} // namespace tessaly
