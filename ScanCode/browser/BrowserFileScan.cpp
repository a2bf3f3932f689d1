#include "ScanCode/browser/BrowserFileScan.h"

#include "model/FolderWalk.h"
#include "model/Problem.h"
#include "platform/DirectoryReader.h"
#include "platform/Paths.h"
#include "platform/TextCase.h"

namespace tessaly {

BrowserFileScan::BrowserFileScan(std::vector<std::string> paths, std::string key)
    : paths_(std::move(paths)), key_(std::move(key)) {}

void BrowserFileScan::setPaths(std::vector<std::string> paths) {
    std::lock_guard<std::mutex> guard(mutex_);
    paths_ = std::move(paths);
}

std::vector<std::string> BrowserFileScan::paths() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return paths_;
}

std::string BrowserFileScan::key() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return key_;
}

void BrowserFileScan::setKey(std::string key) {
    std::lock_guard<std::mutex> guard(mutex_);
    key_ = std::move(key);
}

std::int64_t BrowserFileScan::directorySize(const std::string& path) const {
    return tessaly::directorySize(path, [this] { return stop_.load(); });
}

void BrowserFileScan::scan(ScanItemList& items, std::stop_token stop) {
    stop_ = false;
    const std::string key = this->key();
    for (const std::string& root : paths()) {
        if (stopped(stop))
            return;
        if (!fileattr::entryInfo(root).isDirectory)
            continue;
        DirectoryReader reader(root);
        if (!reader.isOpen()) {
            ProblemCollector::reportUnreadable(root, reader.openError());
            continue;
        }
        while (reader.next()) {
            if (stopped(stop))
                return;
            const std::string name = reader.name();
            if (name[0] == '.' || (!key.empty() && !text::containsIgnoringCase(name, key)))
                continue;
            const fileattr::EntryInfo& info = reader.info();
            if (!info.exists)
                continue;
            auto item = std::make_shared<ScaneOuputObject>();
            item->path = paths::join(root, name);
            item->name = name;
            item->isDir = info.isDirectory && !info.isSymlink;
            item->fileSize = itemSize(item->path, info, [&] { return stopped(stop); });
            item->isCheck = true;
            item->icon = item->path;
            // A cache changes inside while it is the same item: only its identity counts.
            item->stamp = fileattr::stampOf(info, false);
            items.push_back(std::move(item));
        }
    }
}

} // namespace tessaly
