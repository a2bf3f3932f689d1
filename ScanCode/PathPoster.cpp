#include "ScanCode/PathPoster.h"

#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"

namespace tessaly {

std::shared_ptr<PathPoster> PathPoster::make(const char* notification, std::string phase,
                                             ProgressSink progress) {
    return std::shared_ptr<PathPoster>(
        new PathPoster(notification, std::move(phase), std::move(progress)));
}

PathPoster::PathPoster(const char* notification, std::string phase, ProgressSink progress)
    : notification_(notification), phase_(std::move(phase)), progress_(std::move(progress)) {}

void PathPoster::post(const std::string& path) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(40) || pending_.load())
        return;
    last_ = now;
    report(progress_, {phase_, path, -1});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = path;
    }
    pending_ = true;
    MainQueue::async([self = shared_from_this()] {
        std::string p;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            p = self->latest_;
        }
        self->pending_ = false;
        NotificationCenter::defaultCenter().post(self->notification_, p);
    });
}

} // namespace tessaly
