#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace tessaly {

using Task = std::function<void()>;

// The main queue: work meant for the thread that runs the screens. The GUI binds it
// to its event loop through the wake handler; the command line and tests drain it.
class MainQueue {
public:
    static void async(Task task);

    // Called from any thread whenever a task is queued (the GUI schedules a drain).
    static void setWakeHandler(std::function<void()> handler);

    // Runs the queued tasks on the calling thread; returns how many ran.
    static std::size_t drain();

    // Drains until done() is true or the timeout passes; returns done().
    static bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Marks the calling thread as the main thread.
    static void bindToCurrentThread();
    static bool isMainThread();
};

// The global background queue: a pool of worker threads that grows while work waits
// (so work that blocks on other queued work cannot stall it) and shrinks when idle.
class GlobalQueue {
public:
    static void async(Task task);
};

// Tracks a set of tasks; waiters wake when the last one has left.
class DispatchGroup {
public:
    void enter();
    void leave();
    // Runs the task on the global queue as a member of the group.
    void async(Task task);
    void wait();
    // False when the timeout passed first.
    bool waitFor(std::chrono::milliseconds timeout);
    std::size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::size_t count_ = 0;
};

// Runs tasks one at a time, in order, on the global queue.
class SerialQueue {
public:
    SerialQueue() = default;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;
    ~SerialQueue();

    void async(Task task);
    // Runs the task and waits for it (never call from a task of the same queue).
    void sync(const Task& task);

private:
    void runNext();

    std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<Task> tasks_;
    bool running_ = false;
};

} // namespace tessaly
