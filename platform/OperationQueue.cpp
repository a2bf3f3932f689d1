#include "platform/OperationQueue.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"

#include <algorithm>
#include <exception>

namespace tessaly {

OperationQueue::OperationQueue(int maxConcurrentOperationCount)
    : max_(maxConcurrentOperationCount > 0 ? maxConcurrentOperationCount : 1) {}

OperationQueue::~OperationQueue() {
    cancelAllOperations();
    waitUntilAllOperationsAreFinished();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> op) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(op));
    startReadyLocked();
}

std::shared_ptr<Operation>
OperationQueue::addOperation(std::function<void(const Operation&)> body) {
    auto op = std::make_shared<BlockOperation>(std::move(body));
    addOperation(op);
    return op;
}

void OperationQueue::startReadyLocked() {
    while (!waiting_.empty() && running_ < static_cast<std::size_t>(max_)) {
        auto op = std::move(waiting_.front());
        waiting_.pop_front();
        ++running_;
        active_.push_back(op);
        GlobalQueue::async([this, op] { run(op); });
    }
}

void OperationQueue::run(const std::shared_ptr<Operation>& op) {
    if (!op->isCancelled()) {
        try {
            op->main();
        } catch (const std::exception& e) {
            log::exception(e.what());
        } catch (...) {
            log::exception("unknown");
        }
    }
    op->finished_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    std::erase(active_, op);
    startReadyLocked();
    if (running_ == 0 && waiting_.empty())
        finished_.notify_all();
}

void OperationQueue::cancelAllOperations() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& op : waiting_)
        op->cancel();
    for (auto& op : active_)
        op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return running_ == 0 && waiting_.empty(); });
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ + waiting_.size();
}

void OperationQueue::setMaxConcurrentOperationCount(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    max_ = n > 0 ? n : 1;
    startReadyLocked();
}

} // namespace tessaly
