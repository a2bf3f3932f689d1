#pragma once

#include "model/ScaneOuputObject.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// Lists the cache or session entries of a browser: the direct entries of each
// root folder (hidden ones skipped; with a key, only those whose name holds it,
// ignoring case), a folder measured whole.
class BrowserFileScan {
public:
    BrowserFileScan() = default;
    BrowserFileScan(std::vector<std::string> paths, std::string key);

    void setPaths(std::vector<std::string> paths);
    std::vector<std::string> paths() const;
    std::string key() const;
    void setKey(std::string key);

    // Appends an item per entry (path, name, size, ticked, icon, stamp).
    void scan(ScanItemList& items, std::stop_token stop = {});
    void stopScan() { stop_ = true; }

    // A folder's size: its files rounded up to the block size, hidden ones
    // included, links not followed.
    std::int64_t directorySize(const std::string& path) const;

private:
    bool stopped(const std::stop_token& stop) const { return stop_ || stop.stop_requested(); }

    mutable std::mutex mutex_;
    std::vector<std::string> paths_;
    std::string key_;
    std::atomic<bool> stop_{false};
};

} // namespace tessaly
