#include "ScanCode/system/CacheScanner.h"

#include "ScanCode/system/AppLeftoverCleanner.h"
#include "ScanCode/system/BrokenLoginItemOperation.h"
#include "ScanCode/system/ScanBinariesOperation.h"
#include "ScanCode/system/ScanFileOperation.h"
#include "ScanCode/system/ScanLanguageOperation.h"
#include "ScanCode/system/ScaniPhotoOperation.h"
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
    addTask(std::make_shared<ScanFileOperation>(std::move(places), module, this, &catalogue_));
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

void CacheScanner::addiPhotoScanTask(const std::optional<std::string>& libraryPath) {
    addTask(std::make_shared<ScaniPhotoOperation>(libraryPath, services_, this));
}

bool CacheScanner::start() {
    std::lock_guard<std::mutex> one(startMutex_);
    {
        std::lock_guard<std::mutex> guard(lock_);
        finish.fill(false);
        data_.clear();
    }
    bStop = false;
    waitingForCatalogue_ = true;
    if (!bStop)
        catalogue_.waitFinish();
    waitingForCatalogue_ = false;
    if (bStop) {
        std::lock_guard<std::mutex> guard(lock_);
        operations.clear();
        return false;
    }
    std::unique_lock<std::mutex> holding = catalogue_.holdCatalogue();
    std::vector<std::shared_ptr<Operation>> tasks;
    {
        std::lock_guard<std::mutex> guard(lock_);
        tasks.swap(operations);
    }
    for (auto& task : tasks) {
        if (bStop)
            task->cancel();
        queue.addOperation(task);
    }
    queue.waitUntilAllOperationsAreFinished();
    return true;
}

void CacheScanner::stop() {
    bStop = true;
    // waitFinish clears an earlier release when it begins, so repeat the release
    // until the waiting start has seen it.
    while (waitingForCatalogue_) {
        catalogue_.stopWait();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    queue.cancelAllOperations();
}

void CacheScanner::finishScan(ScanItemList items, int moudle) {
    if (moudle < 0 || moudle >= sysmodule::Count)
        return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!bStop)
            finish[static_cast<std::size_t>(moudle)] = true;
        if (moudle == sysmodule::UserCache && hasClean_ && hasClean_() &&
            items.size() < kSmallUserCacheItems && totalSize(items) < kSmallUserCacheBytes)
            return;
        data_[moudle] = std::make_shared<ScanItemList>(std::move(items));
    }
    NotificationCenter::defaultCenter().postOnMainQueue(scanModuleFinishNotification,
                                                        static_cast<std::int64_t>(moudle));
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
