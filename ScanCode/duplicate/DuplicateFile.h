#pragma once

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
class DuplicateFile {
public:
    static DuplicateFile& shareDuplicateFile();

    // Files of this size or less take no part.
    static constexpr std::int64_t kMinimumSize = 10240;

    DispatchGroup group;                 // digest and comparison jobs of the running scan
    std::atomic<bool> stop{false};       // set by stopList
    std::atomic<bool> bStopClear{false}; // set by stopClear
    std::vector<DuplicateInfoRef> data;  // six categories after a scan, in compare order

    // Runs the whole scan on the calling thread (a background thread) and fills
    // data. The folders are walked as given (see cleanFolderList). Clears stop
    // first, unless prepareScan did so already.
    void listDupFile(const std::vector<std::string>& folders);
    // Called by a screen on its own thread before it hands listDupFile to a
    // background queue: clears stop there, so that a stopList that comes before
    // the queued scan has begun still stops it.
    void prepareScan();
    void stopList() { stop = true; }
    bool bFinish() const { return stop; }

    // Removes the ticked copies (on a background thread). A copy is removed only
    // when it is still the file that was compared (same size and modification
    // time) and another copy of its group is still there unchanged; otherwise it
    // stays, marked as not removed with the reason. What fails goes once to the
    // privileged helper; only what is really gone is counted.
    DupCleanResult clear();
    void stopClear() { bStopClear = true; }
    // The same for a removal: clears bStopClear on the screen's thread, so that a
    // stopClear that comes before the queued removal has begun still stops it.
    void prepareClear();

    std::int64_t allFileSizeWithoutCheck() const;
    std::int64_t allCountWithoutCheck() const;

    static std::string fileUTI(const std::string& path);
    static std::int32_t fileType(const std::string& type);
    std::optional<std::string> MD5File(const std::string& path) const;
    std::optional<std::string> MD5Dir(const std::string& path) const;
    std::int64_t directorySize(const std::string& path) const;

    // After the privileged removal: every copy still ticked that is gone now (and
    // not in notRemoved) is counted and leaves its group; groups of fewer than two
    // are dropped.
    void reomoveSystemObject(DupCleanResult& result, const std::vector<std::string>& notRemoved);

private:
    class Scan;
    std::atomic<bool> prepared_{false};
    std::atomic<bool> clearPrepared_{false};
    void distribute(std::vector<DupGroupRef> groups);
    std::function<bool()> stopped() const {
        return [this] { return stop.load(); };
    }
};

} // namespace tessaly
