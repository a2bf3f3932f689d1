#include "ScanCode/system/CacheScanner.h"

#include "ScanCode/system/AppLeftoverCleanner.h"
#include "ScanCode/system/BrokenLoginItemOperation.h"
#include "ScanCode/system/CleanupPlaces.h"
#include "ScanCode/system/RecentLists.h"
#include "ScanCode/system/ScanBinariesOperation.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/ScanLanguageOperation.h"
#include "ScanCode/system/ScaniPhotoOperation.h"
#include "ScanCode/system/SystemCleanPlan.h"
#include "ScanCode/uninstall/SearchApplications.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tessaly {

namespace {

constexpr std::int64_t kSmallUserCacheBytes = 30000;
constexpr std::size_t kSmallUserCacheItems = 3;

int queueWidth() {
    unsigned n = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(n, 2u, 8u));
}

} // namespace

CacheScanner::CacheScanner(SearchApplications& catalogue, std::function<bool()> hasClean,
                           ScanServices services)
    : catalogue_(catalogue), hasClean_(std::move(hasClean)), services_(std::move(services)),
      queue(queueWidth()) {}

CacheScanner::~CacheScanner() {
    queue.cancelAllOperations();
    queue.waitUntilAllOperationsAreFinished();
}

void CacheScanner::addTask(std::shared_ptr<Operation> task) {
    std::lock_guard<std::mutex> guard(lock_);
    operations.push_back(std::move(task));
}

void CacheScanner::addFileScanTask(std::shared_ptr<std::vector<ScanInputObject>> places,
                                   int module) {
    addTask(std::make_shared<ScanFileOperation>(std::move(places), module, this, &catalogue_,
                                                keptPaths(), costlyToRestore(currentLayout())));
}

KeptPaths CacheScanner::keptPaths() const {
    return services_.keptPaths ? services_.keptPaths() : KeptPaths();
}

void CacheScanner::addBrokenLoginItemScanTask(LoginItemManager& manager) {
    addTask(std::make_shared<BrokenLoginItemOperation>(manager, this));
}

void CacheScanner::addBinariesScanTask() {
    addTask(std::make_shared<ScanBinariesOperation>(catalogue_, services_, this));
}

void CacheScanner::addLanguageScanTask() {
    addTask(std::make_shared<ScanLanguageOperation>(catalogue_, services_, this));
}

void CacheScanner::addLeftOverScaner() {
    addTask(std::make_shared<AppLeftoverCleanner>(catalogue_, this));
}

void CacheScanner::addRecentListScanTask() {
    addTask(std::make_shared<RecentListOperation>(currentLayout().recentLists, this));
}

void CacheScanner::addiPhotoScanTask(const std::optional<std::string>& libraryPath) {
    addTask(std::make_shared<ScaniPhotoOperation>(libraryPath, services_, this));
}

bool CacheScanner::start(std::stop_token caller, ProgressSink progress) {
    std::lock_guard<std::mutex> one(startMutex_);
    std::stop_token token = runStop_.begin(std::move(caller));
    std::vector<std::shared_ptr<Operation>> tasks;
    {
        std::lock_guard<std::mutex> guard(lock_);
        finish.fill(false);
        data_.clear();
        problems_.clear();
        token_ = token;
        progress_ = std::move(progress);
        tasks.swap(operations);
        kept_ = keptPaths();
        scheduled_ = tasks.size();
        delivered_ = 0;
    }
    // A stop releases the wait for the catalogue and cancels every task. The
    // wait clears an earlier release when it begins, so the release is repeated
    // until the waiting start has seen it.
    std::stop_callback onStop(token, [this] {
        while (waitingForCatalogue_) {
            catalogue_.stopWait();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        queue.cancelAllOperations();
    });
    waitingForCatalogue_ = true;
    if (!token.stop_requested())
        catalogue_.waitFinish();
    waitingForCatalogue_ = false;
    if (token.stop_requested())
        return false;
    std::unique_lock<std::mutex> holding = catalogue_.holdCatalogue();
    for (auto& task : tasks) {
        if (token.stop_requested())
            task->cancel();
        queue.addOperation(task);
    }
    queue.waitUntilAllOperationsAreFinished();
    return true;
}

bool CacheScanner::stopped() const {
    std::lock_guard<std::mutex> guard(lock_);
    return token_.stop_requested();
}

void CacheScanner::finishScan(ScanItemList items, int moudle) {
    if (moudle < 0 || moudle >= sysmodule::Count)
        return;
    KeptPaths kept;
    {
        std::lock_guard<std::mutex> guard(lock_);
        kept = kept_;
    }
    // Whatever the task, nothing the user keeps is listed.
    leaveOutKept(items, kept);
    stampWhatIsRemoved(moudle, items);
    ProgressEvent event;
    bool dropped = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!token_.stop_requested())
            finish[static_cast<std::size_t>(moudle)] = true;
        ++delivered_;
        event = {"Scanned " + moduleName(moudle), "",
                 scheduled_ ? static_cast<double>(delivered_) / static_cast<double>(scheduled_)
                            : 1.0};
        // A small user cache after a clean is not reported.
        dropped = moudle == sysmodule::UserCache && hasClean_ && hasClean_() &&
                  items.size() < kSmallUserCacheItems && totalSize(items) < kSmallUserCacheBytes;
        if (!dropped)
            data_[moudle] = std::make_shared<ScanItemList>(std::move(items));
    }
    report(progress_, event);
    if (dropped)
        return;
    NotificationCenter::defaultCenter().postOnMainQueue(scanModuleFinishNotification,
                                                        static_cast<std::int64_t>(moudle));
}

void CacheScanner::scanProblems(int module, ProblemList problems) {
    std::lock_guard<std::mutex> guard(lock_);
    auto& list = problems_[module];
    list.insert(list.end(), problems.begin(), problems.end());
}

void CacheScanner::scanningPath(const std::string& path) {
    report(progress_, {"", path, -1});
}

ProblemList CacheScanner::problems() const {
    std::lock_guard<std::mutex> guard(lock_);
    ProblemList all;
    for (const auto& [module, list] : problems_)
        all.insert(all.end(), list.begin(), list.end());
    return all;
}

bool CacheScanner::bScanFinsh(int module) const {
    if (module < 0 || module >= sysmodule::Count)
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    return finish[static_cast<std::size_t>(module)];
}

CacheScanner::ResultStore CacheScanner::data() const {
    std::lock_guard<std::mutex> guard(lock_);
    return data_;
}

ScanItemListRef CacheScanner::dataForModule(int module) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = data_.find(module);
    return it == data_.end() ? nullptr : it->second;
}

std::size_t CacheScanner::pendingTasks() const {
    std::lock_guard<std::mutex> guard(lock_);
    return operations.size();
}

} // namespace tessaly
