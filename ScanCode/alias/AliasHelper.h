#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "ScanCode/alias/AliasObj.h"
#include "model/CleanResult.h"

#include <array>
#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <vector>

namespace tessaly {

// Notifications of the alias scan and removal.
// A folder about to be listed (object: its path), posted on the scanning thread.
inline constexpr const char* aliasPathScanModuleFinsh = "aliasPathScanModuleFinsh";
// The end of every scan, and of every removal (no object), on the main queue.
inline constexpr const char* aliasScanModuleFinsh = "aliasScanModuleFinsh";
inline constexpr const char* aliasCleanModuleFinsh = "aliasCleanModuleFinsh";

using AliasCleanResult = CleanResult<AliasObj>;

// The Alias Finder's engine: finds the aliases (symbolic links and alias files)
// in a folder list, splits them into broken ones (nothing at the target; ticked)
// and working ones (unticked), removes the ticked ones and repairs an alias by
// pointing it at a new target. data[0] holds the broken aliases, data[1] the
// working ones, until the next scan.
class AliasHelper : public ToolEngine {
public:
    static AliasHelper& shareAliasHelper();

    AliasHelper() = default;
    explicit AliasHelper(PrivilegedRemoval privileged, std::function<void()> stop = {})
        : privileged_(std::move(privileged)), stopPrivileged_(std::move(stop)) {}

    std::array<AliasList, 2> data;

    // The tool contract; scan walks the folders given to setScanFolders.
    std::string toolName() const override { return "Alias Finder"; }
    std::int64_t toolIndex() const override;
    void setScanFolders(std::vector<std::string> folders) { folders_ = std::move(folders); }
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    // The ticked aliases, broken ones first.
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    void startSearch(const std::vector<std::string>& folders);
    // The walk alone: every alias in the folders, never entering a package.
    AliasList useQueueScanApp(const std::vector<std::string>& folders);
    void prepareScan() { scanStop_.prepare(); }
    void stopSearch() { scanStop_.request(); }
    bool bFinish() const { return scanStop_.requested(); }

    // data[0] for true (broken), data[1] for false (working).
    const AliasList& alias(bool broken) const { return data[broken ? 0 : 1]; }
    std::int64_t breakAliasCount() const;
    std::int64_t aliasCount() const;
    std::int64_t breakAliasCountWithCheck() const;
    std::int64_t aliasCountWithCheck() const;
    int checkStatus(bool broken) const;
    void setEnable(bool tick, bool broken);

    // Removes the ticked aliases of both lists; what the user may not remove goes
    // once to the privileged helper, and only what is gone is counted.
    AliasCleanResult clearAlias();
    void prepareClear() { clearStop_.prepare(); }
    void stopClear() { clearStop_.request(); }
    // After a privileged removal: every ticked alias that is gone now is counted
    // and leaves its list.
    void removeSystemObject(AliasCleanResult& result);

    // Points the alias at a new target; on success the alias is working,
    // unticked, and moves to the working list. False changes nothing.
    bool fixAlias(const std::string& aliasPath, const std::string& destination);

    // For each broken alias, the files and folders of the last scan's folders that
    // carry its target's name (at most a few each), as candidates for a repair.
    std::map<std::string, std::vector<std::string>> candidateTargets() const;

private:
    ScanSummary runScan(const std::vector<std::string>& folders, std::stop_token stop,
                        const ProgressSink& progress);
    CleanOutcome runClean(const Plan& plan, std::stop_token stop, const ProgressSink& progress,
                          AliasCleanResult* result);

    PrivilegedRemoval privileged_ = systemPrivilegedRemoval();
    std::function<void()> stopPrivileged_ = systemPrivilegedStop();
    std::vector<std::string> folders_, scanned_;
    RunStop scanStop_, clearStop_;
    std::stop_token scanToken_;
};

} // namespace tessaly
