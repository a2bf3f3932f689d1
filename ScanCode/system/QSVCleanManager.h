#pragma once

#include "ScanCode/HelperPass.h"
#include "ScanCode/ToolEngine.h"
#include "ScanCode/system/CacheScanner.h"
#include "model/CleanResult.h"
#include "model/ModuleData.h"
#include "model/ScanInputObject.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class LoginItemManager;
class SearchApplications;
class UserDefaults;

// "CleanModue": posted on the main queue when a module's clean step has ended;
// the object is the module identifier (std::int64_t).
inline constexpr const char* cleanModuleNotification = "CleanModue";

// What the System Cleanup engine works with; system() is the real machine, tests
// give their own catalogue, login items, settings and privileged helper.
struct CleanManagerEnvironment {
    std::function<SearchApplications&()> catalogue;
    std::function<LoginItemManager&()> loginItems;
    std::function<UserDefaults&()> defaults;
    std::function<bool()> isRetina;
    // The privileged removal: true when the helper was reached; notRemoved lists
    // the handed-over paths that may still exist.
    PrivilegedRemoval removeSystemFile;
    std::function<void()> stopRemoveSystemFile;
    // Thin an executable the user may not change (through the helper) or may
    // change (themselves); each returns once the work is over, true when the
    // executable holds only this machine's code now.
    std::function<bool(const std::string&)> lipoSystemApp;
    std::function<bool(const std::string&)> lipoUserApp;
    // What the module scanners read (keep list, language table, machine); its
    // isRetina is taken from the one above when it has none.
    ScanServices scanServices;

    static CleanManagerEnvironment system();
};

// The System Cleanup engine: the module catalogue, the places of each module,
// the scan through its scheduler, the totals and ticks of the results, and the
// cleaning run.
class QSVCleanManager : public ToolEngine {
public:
    static QSVCleanManager& shareQSVCLean();

    explicit QSVCleanManager(CleanManagerEnvironment env);
    QSVCleanManager(const QSVCleanManager&) = delete;
    QSVCleanManager& operator=(const QSVCleanManager&) = delete;

    std::unique_ptr<CacheScanner> scanDisk;
    using Places = std::shared_ptr<std::vector<ScanInputObject>>;
    Places systemCacheArray, userCacheArray, systemLogArray, userLogArray, IOSPhotoArray,
        IOSSoftwareArray;
    std::optional<std::string> iPhotoLibPath;
    std::atomic<bool> hasClean{false};

    // The tool contract.
    std::string toolName() const override { return "System Cleanup"; }
    std::int64_t toolIndex() const override;
    ScanSummary scan(std::stop_token stop, const ProgressSink& progress) override;
    Plan plan() const override;
    CleanOutcome clean(const Plan& plan, std::stop_token stop,
                       const ProgressSink& progress) override;

    // Finds the photo library and fills the place lists. Runs once; later calls
    // do nothing.
    void initDiscPath();
    bool discPathReady() const;
    // Waits until the places are prepared or stopped() turns true; true when prepared.
    bool waitDiscPath(const std::function<bool()>& stopped);

    // Module switches: a module (0-12) is scanned when the setting under its
    // display name is absent or true.
    bool moduleEnabled(int module) const;
    void setModuleEnabled(int module, bool enabled);
    // The modules the next scan runs, in queuing order (the enabled ones).
    std::vector<int> modulesToScan() const;
    // Scans exactly these modules from now on, whatever the switches say (the
    // command line names them); empty: the switches decide.
    void setModuleFilter(std::vector<int> modules);

    // Queues one task per enabled module and runs them; false when stopped
    // before it began.
    bool scanDiskFile();
    // Called on the screen's thread before scanDiskFile is queued, so that a
    // stopDiskScan that comes first still stops it.
    void prepareScan() { scanDisk->prepareStart(); }
    void stopDiskScan();

    CacheScanner::ResultStore discData() const;
    ScanItemListRef moduleItems(int module) const;
    bool bScanFinsh(int module) const;

    std::int64_t totleSize(int module) const;
    std::int64_t totleSizeNoCheck(int module) const;
    std::int64_t issueCount(int module) const;
    std::int64_t issueCountNoCheck(int module) const;
    std::int64_t totleSizeAllModule() const;
    std::int64_t totleIssueAllModule() const;
    std::int64_t totleIssueNoCheckAllModule() const;
    void setCheck(int module, bool check);
    void setAllCheck(bool check);
    bool hasCheck(int module) const;
    // 0 when no leaf of the list is ticked, 2 when all are, 1 otherwise.
    static int checkStatus(const ScanItemList& items);
    // The module's summary line.
    ModuleData moduleData(int module) const;
    // The report chart: the four largest modules and "Other".
    std::vector<ModuleReport> scanResult() const;

    static std::string convertModule(std::int64_t module);
    static std::string convertImageModule(std::int64_t module);
    static std::string convertSetImageModule(std::int64_t module);
    static std::string convertOkImageModule(std::int64_t module);

    // The cleaning run of the ticked items: direct removal, then the privileged
    // pass. Blocks until all of its work (thinning too) has ended.
    CleanReport clearDiskFile();
    // The direct removal alone.
    CleanReport clearDiscInApp();
    // After a privileged pass: books the ticked items that are now gone.
    void clearSystemObject(CleanReport& report, const std::vector<std::string>& notRemoved);
    // Thins the executables of the ticked Binary items; returns how many were
    // handled before a stop.
    std::size_t lipo(const ScanItemList& items);
    // Called on the screen's thread before clearDiskFile is queued, so that a
    // clearStop that comes first still stops it.
    void prepareClean() { clearStop_.prepare(); }
    // Stops the clean in progress and tells the helper to stop removing (from a
    // worker, so that the caller never waits for the helper).
    void clearStop() { clearStop_.request(); }
    bool clearStopped() const { return clearStop_.requested(); }

    // The report of a clean's outcome; canotRemove lists every path whose first
    // attempt failed, as the report always has.
    static CleanReport reportOf(const CleanOutcome& outcome, std::vector<std::string> firstAttempt);

private:
    void queueModuleTasks();
    CleanOutcome runClean(const Plan& plan, std::stop_token stop, const ProgressSink& progress,
                          bool handOver, std::vector<std::string>* firstAttempt = nullptr);
    // Thins one executable: none when it is thin now, else why not.
    std::optional<std::string> thinExecutable(const std::string& executable);
    void initSearchPathForCache();
    void initSearchPathForIOSPhotoCache();
    void initSearchPathForIOSSoftwareUpdates();
    void initSearchPathForLog();

    CleanManagerEnvironment env_;
    mutable std::mutex pathsMutex_;
    std::condition_variable pathsReady_;
    bool discPathReady_ = false;
    std::vector<int> filter_;
    RunStop clearStop_;
};

} // namespace tessaly
