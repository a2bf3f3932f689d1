#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tessaly {

// A unit of queued work that can be cancelled. Workers poll isCancelled() between entries.
class Operation {
public:
    virtual ~Operation() = default;

    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isFinished() const { return finished_; }

protected:
    virtual void main() = 0;

private:
    friend class OperationQueue;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
};

// An operation made of a function; the function receives the operation so that it
// can poll isCancelled().
class BlockOperation : public Operation {
public:
    explicit BlockOperation(std::function<void(const Operation&)> body) : body_(std::move(body)) {}

protected:
    void main() override { body_(*this); }

private:
    std::function<void(const Operation&)> body_;
};

// Runs operations on the global queue, at most maxConcurrentOperationCount at once,
// in the order they were added. An operation cancelled before it starts is finished
// without running.
class OperationQueue {
public:
    explicit OperationQueue(int maxConcurrentOperationCount = 4);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(std::shared_ptr<Operation> op);
    std::shared_ptr<Operation> addOperation(std::function<void(const Operation&)> body);
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    std::size_t operationCount() const;
    void setMaxConcurrentOperationCount(int n);

private:
    void startReadyLocked();
    void run(const std::shared_ptr<Operation>& op);

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Operation>> waiting_;
    std::vector<std::shared_ptr<Operation>> active_;
    std::size_t running_ = 0;
    int max_;
};

} // namespace tessaly
