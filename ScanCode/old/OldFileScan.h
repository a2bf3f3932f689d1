#pragma once

#include "ScanCode/ToolEngine.h"
#include "ScanCode/old/OldFileRules.h"
#include "ScanCode/old/OldType.h"
#include "model/CleanResult.h"
#include "platform/Date.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// Notifications of the old-file scan and removal, posted on the main queue.
// The path being examined (object: std::string), at most every 40 ms.
inline constexpr const char* oldPathScanModuleFinsh = "oldPathScanModuleFinsh";
// A folder whose listing has ended (object: its path).
inline constexpr const char* oldScanModuleFinsh = "oldScanModuleFinsh";
// The file just removed, or tried (object: its path).
inline constexpr const char* oldCleanModuleFinsh = "oldCleanModuleFinsh";
// Posted by the tool's screen when a scan has returned.
inline constexpr const char* oldScanFinishNotfication = "oldScanFinishNotfication";

using OldCleanResult = CleanResult<CustomFileInfo>;

// The Old Files Finder's engine: lists the files (and whole bundles) of a folder
// list that are both old (not opened for about a month or more) and large (5 MB
// or more), by age class and size class, ticks in advance what looks like a
// leftover, and removes the ticked files. The result stays in `data` until the
// next scan; screens change only the ticks.
class OldFileScan : public ToolEngine {
public:
    static OldFileScan& shareOldFileScan();

    // clock: the scan's idea of now (tests give their own).
    explicit OldFileScan(std::function<Date()> clock = {});

    std::vector<OldTypeRef> data; // the five age classes, "2 years ago" first
    // The installed applications not made by Apple: built on the first scan.
    std::optional<std::vector<std::string>> apps;

    // The tool contract; scan walks the folders given to setScanFolders.
    std::string toolName() const override { return "Old Files Finder"; }
    std::int64_t toolIndex() const override;
    void setScanFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    // Every ticked file, age class by age class.
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // Runs the whole scan on the calling thread (a background thread).
    void scanOldFile(const std::vector<std::string>& folders);
    // Called on the screen's thread before a scan or a removal is queued, so that
    // a stop that comes first still stops it.
    void prepareScan() { scanStop_.prepare(); }
    void prepareClean() { cleanStop_.prepare(); }
    void stop() { scanStop_.request(); }
    bool bFinish() const { return scanStop_.requested(); }
    void cleanStop() { cleanStop_.request(); }
    // Removes the ticked files (no privileged step in this tool).
    OldCleanResult clean();

    std::vector<std::string> getSelectFiles() const;
    std::int64_t allSize() const;
    std::int64_t allCount() const;
    std::int64_t allCheckSize() const;
    int checkStatus() const;

    // The age class of a last-opened date; null when none fits.
    OldTypeRef findOldType(Date date) const;
    // Last access, else modification, else creation; none when the path is gone.
    static std::optional<Date> lastOpenDate(const std::string& path);
    std::int64_t directorySize(const std::string& path) const;
    bool needCheck(const std::string& path, const std::vector<std::string>& allNames) const;
    void searchAllCompareAppInfos();
    // The names of the direct entries of the folders (unreadable ones add nothing).
    static std::vector<std::string> getAllFileNames(const std::vector<std::string>& folders);

private:
    class Walk;
    ScanSummary runScan(const std::vector<std::string>& folders, std::stop_token stop,
                        const ProgressSink& progress);
    CleanOutcome runClean(const Plan& plan, std::stop_token stop, const ProgressSink& progress,
                          OldCleanResult* result);
    void initData();

    std::function<Date()> clock_;
    std::vector<std::string> folders_;
    RunStop scanStop_, cleanStop_;
    std::stop_token scanToken_; // the running scan's
};

} // namespace tessaly
