#include "app/common/PathFollower.h"

#include "app/common/ProgressList.h"
#include "platform/Dispatch.h"

#include <mutex>
#include <string>

namespace tessaly {

struct PathFollower::State {
    std::mutex mutex;
    std::string latest;
    bool hopQueued = false;
    // Read and written on the screen's thread only.
    bool alive = true;
    ProgressList* list = nullptr;
    std::function<bool()> showing;
};

PathFollower::PathFollower(const char* notification, ProgressList* list,
                           std::function<bool()> showing)
    : state_(std::make_shared<State>()) {
    state_->list = list;
    state_->showing = std::move(showing);
    std::weak_ptr<State> weak = state_;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    observer_ =
        ObserverToken(center, center.addObserver(notification, [weak](const Notification& n) {
            const auto* path = std::any_cast<std::string>(&n.object);
            auto s = weak.lock();
            if (!path || !s)
                return;
            {
                std::lock_guard<std::mutex> guard(s->mutex);
                s->latest = *path;
                if (s->hopQueued)
                    return;
                s->hopQueued = true;
            }
            MainQueue::async([weak] {
                auto state = weak.lock();
                if (!state || !state->alive)
                    return;
                std::string shown;
                {
                    std::lock_guard<std::mutex> guard(state->mutex);
                    state->hopQueued = false;
                    shown = state->latest;
                }
                if (!state->showing || state->showing())
                    state->list->setPath(QString::fromStdString(shown));
            });
        }));
}

PathFollower::~PathFollower() {
    observer_.reset();
    state_->alive = false;
}

} // namespace tessaly
