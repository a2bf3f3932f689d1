#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "ScanCode/duplicate/DuplicateInfo.h"
#include "model/CleanResult.h"
#include "platform/Dispatch.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

using DupCleanResult = CleanResult<DupFileInfo>;

// Notifications of the duplicate scan, posted on the main queue.
// The path being examined (object: std::string), at most every 40 ms so that a
// fast walk never floods the screens; then "Compare file MD5..." once the walk
// is over.
inline constexpr const char* duplicatePathScanModuleFinsh = "duplicatePathScanModuleFinsh";
inline constexpr const char* kCompareFileMD5 = "Compare file MD5...";
// End of every scan, stopped or not (object: PlistValue::Dict from "0".."5" to true).
inline constexpr const char* duplicateScanModuleFinsh = "duplicateScanModuleFinsh";
// End of every removal.
inline constexpr const char* duplicateCleanModuleFinsh = "duplicateCleanModuleFinsh";

// The Duplicates Finder's engine: walks folders, groups the files (and bundles)
// whose whole contents are equal, ticks every copy but one, and removes the
// ticked copies. The result stays in `data` until the next scan; screens change
// only the ticks.
class DuplicateFile : public ToolEngine {
public:
    static DuplicateFile& shareDuplicateFile();

    DuplicateFile() = default;
    // privileged: what takes the copies the user may not remove; stop stops it.
    explicit DuplicateFile(PrivilegedRemoval privileged, std::function<void()> stop = {})
        : privileged_(std::move(privileged)), stopPrivileged_(std::move(stop)) {}

    // Files of this size or less take no part.
    static constexpr std::int64_t kMinimumSize = 10240;

    DispatchGroup group;                // digest and comparison jobs of the running scan
    std::vector<DuplicateInfoRef> data; // six categories after a scan, in compare order

    // The tool contract; scan walks the folders given to setScanFolders.
    std::string toolName() const override { return "Duplicates Finder"; }
    std::int64_t toolIndex() const override;
    void setScanFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    // Every ticked copy with its other names, category by category; with every
    // copy of a group ticked, the last one is kept all the same.
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // Runs the whole scan on the calling thread (a background thread) and fills
    // data. The folders are walked as given (see cleanFolderList).
    void listDupFile(const std::vector<std::string>& folders);
    // Called by a screen on its own thread before it hands listDupFile to a
    // background queue, so that a stopList that comes before the queued scan has
    // begun still stops it (and only it).
    void prepareScan() { scanStop_.prepare(); }
    void stopList() { scanStop_.request(); }
    bool bFinish() const { return scanStop_.requested(); }

    // Removes the ticked copies (on a background thread). A copy is removed only
    // when it is still the file that was compared (same size and modification
    // time) and another copy of its group is still there unchanged; otherwise it
    // stays, marked as not removed with the reason. What fails goes once to the
    // privileged helper; only what is really gone is counted.
    DupCleanResult clear();
    void stopClear() { clearStop_.request(); }
    // The same for a removal.
    void prepareClear() { clearStop_.prepare(); }

    std::int64_t allFileSizeWithoutCheck() const;
    std::int64_t allCountWithoutCheck() const;

    static std::string fileUTI(const std::string& path);
    static std::int32_t fileType(const std::string& type);
    std::optional<std::string> MD5File(const std::string& path) const;
    std::optional<std::string> MD5Dir(const std::string& path) const;
    std::int64_t directorySize(const std::string& path) const;

    // After the privileged removal: every copy still ticked whose names are all
    // gone now (and not in notRemoved) is counted and leaves its group; groups of
    // fewer than two are dropped.
    void reomoveSystemObject(DupCleanResult& result, const std::vector<std::string>& notRemoved);

private:
    class Scan;
    class Removal;
    ScanSummary runScan(const std::vector<std::string>& folders, std::stop_token stop,
                        const ProgressSink& progress);
    CleanOutcome runClean(const Plan& plan, std::stop_token stop, const ProgressSink& progress,
                          DupCleanResult* result);
    void distribute(std::vector<DupGroupRef> groups);
    std::function<bool()> stopped() const {
        return [token = scanToken_] { return token.stop_requested(); };
    }

    PrivilegedRemoval privileged_ = systemPrivilegedRemoval();
    std::function<void()> stopPrivileged_ = systemPrivilegedStop();
    std::vector<std::string> folders_;
    RunStop scanStop_, clearStop_;
    std::stop_token scanToken_; // the running scan's
};

} // namespace tessaly
