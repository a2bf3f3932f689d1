#pragma once

#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/uninstall/AppItem.h"
#include "model/KeptPaths.h"
#include "model/ScanInputObject.h"
#include "platform/FileAttributes.h"
#include "platform/OperationQueue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

class SearchApplications;

// The file-scan task: lists the entries of fixed places (caches, logs, software
// updates, photo caches, mail downloads, the Trash) that the place's rule takes,
// one result item per entry with its size, and hands the list, largest first, to
// its delegate.
class ScanFileOperation : public Operation {
public:
    // kept: what the user keeps; costly: caches costly to restore, listed unticked.
    ScanFileOperation(std::shared_ptr<std::vector<ScanInputObject>> places, std::int32_t module,
                      ScanDelegate* delegate, SearchApplications* catalogue = nullptr,
                      KeptPaths kept = {}, KeptPaths costly = {});

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
    // The matching files anywhere below a recursive place (links never followed).
    void addMatchingFiles(const ScanInputObject& place, ScanItemList& out);
    // The place's companion of a listed entry, removed and counted with it.
    void addCompanion(const ScanInputObject& place, ScaneOuputObject& item);
    // One entry of a place: left out when kept; a folder holding something kept
    // or costly to restore is listed by its entries instead; what is costly to
    // restore starts unticked with that reason. False when nothing was added.
    bool addEntry(const ScanInputObject& place, const std::string& path, const std::string& name,
                  const fileattr::EntryInfo& info, ScanItemList& out);
    void addScanObj(ScanItemList& out, const std::string& path, const std::string& name,
                    std::int64_t fileSize, bool isCheck, bool isDir);
    std::int64_t entrySize(const std::string& path, const fileattr::EntryInfo& info) const;

    SearchApplications* catalogue_;
    AppItemList applications_;
    KeptPaths kept_, costly_;
};

} // namespace tessaly
