#pragma once

// A fixed number of threads working off a queue of bounded length, in order.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dorn {

class WorkerPool {
public:
    WorkerPool(std::size_t threads, std::size_t maxQueued);
    // Finishes the jobs that are running; queued ones are dropped.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False when the queue is full (the job is not taken).
    bool post(std::function<void()> job);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::size_t maxQueued_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

} // namespace dorn
