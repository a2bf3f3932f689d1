#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/uninstall/AppItem.h"
#include "model/ScanInputObject.h"
#include "platform/OperationQueue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

class SearchApplications;

// The file-scan task: lists the direct entries of fixed places (caches, logs,
// software updates, photo caches, mail downloads, the Trash), one result item per
// entry with its size, and hands the list, largest first, to its delegate.
class ScanFileOperation : public Operation {
public:
    ScanFileOperation(std::shared_ptr<std::vector<ScanInputObject>> places, std::int32_t module,
                      ScanDelegate* delegate, SearchApplications* catalogue = nullptr);

    std::shared_ptr<std::vector<ScanInputObject>> inputObjs;
    std::int32_t module;
    ScanDelegate* delegate; // not owned

    // The scan itself; returns the sorted list (partial when cancelled).
    ScanItemList scanFiles();

protected:
    void main() override;

private:
    bool cancelled() const { return isCancelled(); }
    // Every sandbox container's caches (true) or logs (false).
    void addContainerItems(bool caches, ScanItemList& out);
    void addScanObj(ScanItemList& out, const std::string& path, const std::string& name,
                    std::int64_t fileSize, bool isCheck, bool isDir);
    std::int64_t entrySize(const std::string& path, bool isDir) const;

    SearchApplications* catalogue_;
    AppItemList applications_;
};

} // namespace tessaly
