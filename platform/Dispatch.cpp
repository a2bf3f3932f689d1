#include "platform/Dispatch.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace tessaly {

namespace {

// ---- main queue ----

struct MainState {
    std::mutex mutex;
    std::deque<Task> tasks;
    std::function<void()> wake;
    std::thread::id mainThread = std::this_thread::get_id();
    std::condition_variable arrived;
};

MainState& mainState() {
    static auto* s = new MainState; // lives for the whole run, workers may post at exit
    return *s;
}

// ---- worker pool ----

class Pool {
public:
    static Pool& shared() {
        static auto* p = new Pool; // never destroyed: detached workers outlive main()
        return *p;
    }

    void push(Task task) {
        std::unique_lock<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        if (idle_ > 0) {
            cv_.notify_one();
            return;
        }
        if (workers_ < cores_)
            spawnLocked();
        startWatchdogLocked();
    }

private:
    Pool() : cores_(std::max(2u, std::thread::hardware_concurrency())) {}

    void spawnLocked() {
        ++workers_;
        std::thread([this] { workerLoop(); }).detach();
    }

    // When work waits and no worker has taken any for a while (they are all
    // blocked), add a worker, up to a ceiling.
    void startWatchdogLocked() {
        if (watchdog_)
            return;
        watchdog_ = true;
        std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex_);
            std::uint64_t lastTaken = taken_;
            for (;;) {
                cv_watch_.wait_for(lock, std::chrono::milliseconds(50));
                if (!tasks_.empty() && idle_ == 0 && taken_ == lastTaken && workers_ < kMaxWorkers)
                    spawnLocked();
                lastTaken = taken_;
            }
        }).detach();
    }

    void workerLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (tasks_.empty()) {
                ++idle_;
                bool woke = cv_.wait_for(lock, std::chrono::seconds(10),
                                         [this] { return !tasks_.empty(); });
                --idle_;
                if (!woke) {
                    --workers_;
                    return;
                }
            }
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            ++taken_;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }

    static constexpr unsigned kMaxWorkers = 64;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable cv_watch_;
    std::deque<Task> tasks_;
    unsigned cores_;
    unsigned workers_ = 0;
    unsigned idle_ = 0;
    std::uint64_t taken_ = 0;
    bool watchdog_ = false;
};

} // namespace

void MainQueue::async(Task task) {
    auto& s = mainState();
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.tasks.push_back(std::move(task));
        wake = s.wake;
    }
    s.arrived.notify_all();
    if (wake)
        wake();
}

void MainQueue::setWakeHandler(std::function<void()> handler) {
    auto& s = mainState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.wake = std::move(handler);
}

std::size_t MainQueue::drain() {
    auto& s = mainState();
    std::size_t ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.tasks.empty())
                return ran;
            task = std::move(s.tasks.front());
            s.tasks.pop_front();
        }
        task();
        ++ran;
    }
}

bool MainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto& s = mainState();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        drain();
        if (done())
            return true;
        std::unique_lock<std::mutex> lock(s.mutex);
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        s.arrived.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                          std::chrono::milliseconds(10)));
    }
}

void MainQueue::bindToCurrentThread() {
    auto& s = mainState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.mainThread = std::this_thread::get_id();
}

bool MainQueue::isMainThread() {
    auto& s = mainState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.mainThread == std::this_thread::get_id();
}

void GlobalQueue::async(Task task) {
    Pool::shared().push(std::move(task));
}

void DispatchGroup::enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ > 0 && --count_ == 0)
        cv_.notify_all();
}

void DispatchGroup::async(Task task) {
    enter();
    GlobalQueue::async([this, task = std::move(task)] {
        task();
        leave();
    });
}

void DispatchGroup::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return count_ == 0; });
}

bool DispatchGroup::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return count_ == 0; });
}

std::size_t DispatchGroup::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

SerialQueue::~SerialQueue() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !running_ && tasks_.empty(); });
}

void SerialQueue::async(Task task) {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    if (!running_) {
        running_ = true;
        GlobalQueue::async([this] { runNext(); });
    }
}

void SerialQueue::runNext() {
    for (;;) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (tasks_.empty()) {
                running_ = false;
                idle_.notify_all();
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void SerialQueue::sync(const Task& task) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    async([&] {
        task();
        std::lock_guard<std::mutex> lock(m);
        done = true;
        cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
}

} // namespace tessaly
