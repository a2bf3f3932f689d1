#include "daemon/WorkerPool.h"

namespace dorn {

WorkerPool::WorkerPool(std::size_t threads, std::size_t maxQueued) : maxQueued_(maxQueued) {
    for (std::size_t i = 0; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (auto& t : threads_)
        t.join();
}

bool WorkerPool::post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= maxQueued_)
            return false;
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (ending_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();
    }
}

} // namespace dorn
