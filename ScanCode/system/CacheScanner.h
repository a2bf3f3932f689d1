#pragma once

#include "ScanCode/ToolEngine.h"
#include "ScanCode/system/ScanDelegate.h"
#include "ScanCode/system/ScanServices.h"
#include "ScanCode/system/SystemModules.h"
#include "model/ScanInputObject.h"
#include "platform/OperationQueue.h"

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

class LoginItemManager;
class SearchApplications;

// "scanModuleFinish": posted on the main queue when a module's results are
// stored; the object is the module identifier (std::int64_t).
inline constexpr const char* scanModuleFinishNotification = "scanModuleFinish";

// The System Cleanup scan scheduler: runs one task per module in parallel on its
// queue and files each task's results under the task's module.
class CacheScanner : public ScanDelegate {
public:
    using ResultStore = std::map<int, ScanItemListRef>;

    // catalogue: the application catalogue the scan waits for and holds while it
    // runs; hasClean: whether a clean run has started since launch; services:
    // what the module scanners read from the settings and the machine.
    CacheScanner(SearchApplications& catalogue, std::function<bool()> hasClean,
                 ScanServices services = ScanServices());
    ~CacheScanner() override;
    CacheScanner(const CacheScanner&) = delete;
    CacheScanner& operator=(const CacheScanner&) = delete;

    // Task-adding operations: each queues one task for the next start.
    void addFileScanTask(std::shared_ptr<std::vector<ScanInputObject>> places, int module);
    void addBrokenLoginItemScanTask(LoginItemManager& manager);
    void addBinariesScanTask();
    void addLanguageScanTask();
    void addLeftOverScaner();
    // The recent-document lists of the layout in use.
    void addRecentListScanTask();
    // libraryPath: the photo library; without one the task reports an empty list.
    void addiPhotoScanTask(const std::optional<std::string>& libraryPath);
    // Any task built by the caller (tests, other task kinds).
    void addTask(std::shared_ptr<Operation> task);

    // Runs the queued tasks and blocks until all have ended. False when stopped
    // before it began (while waiting for the application catalogue). The caller's
    // token stops it as stop() does; progress hears the paths examined and each
    // module's end.
    bool start(std::stop_token caller = {}, ProgressSink progress = {});
    // Called on the caller's thread before start is queued: a stop() that comes
    // before start has begun then stops that start (and only that one).
    void prepareStart() { runStop_.prepare(); }
    // Stops the scan: releases a start waiting for the catalogue and cancels every
    // queued or running task. Safe from another thread while start blocks.
    void stop() { runStop_.request(); }
    bool stopped() const;

    // What the last start's tasks could not read, and tasks that failed.
    ProblemList problems() const;

    SearchApplications& catalogue() const { return catalogue_; }
    const ScanServices& services() const { return services_; }

    void finishScan(ScanItemList items, int moudle) override;
    void scanProblems(int module, ProblemList problems) override;
    void scanningPath(const std::string& path) override;

    bool bScanFinsh(int module) const;
    // A copy of the store (the lists themselves are shared).
    ResultStore data() const;
    ScanItemListRef dataForModule(int module) const;
    // Queued task count (for the next start).
    std::size_t pendingTasks() const;

private:
    KeptPaths keptPaths() const;

    SearchApplications& catalogue_;
    KeptPaths kept_; // the running start's
    std::function<bool()> hasClean_;
    ScanServices services_;
    OperationQueue queue;
    std::vector<std::shared_ptr<Operation>> operations;
    std::array<bool, sysmodule::Count> finish{};
    ResultStore data_;
    std::map<int, ProblemList> problems_;
    RunStop runStop_;
    std::stop_token token_; // the running start's
    ProgressSink progress_; // the running start's
    std::size_t scheduled_ = 0, delivered_ = 0;
    std::atomic<bool> waitingForCatalogue_{false};
    mutable std::mutex lock_;
    std::mutex startMutex_; // one start at a time
};

} // namespace tessaly
