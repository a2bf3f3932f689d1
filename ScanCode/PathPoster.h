#pragma once

#include "ScanCode/ToolEngine.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace tessaly {

// Tells the screens and the progress sink which path a walk is examining: the
// newest path, posted as a notification on the main queue at most every 40 ms
// and never while an earlier one still waits there, so that a walk of many small
// entries does not spend its time waking the main thread.
class PathPoster : public std::enable_shared_from_this<PathPoster> {
public:
    static std::shared_ptr<PathPoster> make(const char* notification, std::string phase,
                                            ProgressSink progress);

    // Called by the walking thread only.
    void post(const std::string& path);

private:
    PathPoster(const char* notification, std::string phase, ProgressSink progress);

    const char* notification_;
    std::string phase_;
    ProgressSink progress_;
    std::chrono::steady_clock::time_point last_{};
    std::mutex mutex_;
    std::string latest_;
    std::atomic<bool> pending_{false};
};

} // namespace tessaly
