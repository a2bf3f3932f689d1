#pragma once

#include "platform/NotificationCenter.h"

#include <functional>
#include <memory>

namespace tessaly {

class ProgressList;

// Shows on a progress page's path line the path that a notification carries (a
// std::string), for engines that post it on their own thread: the newest path
// only, one hop at a time to the screen's thread, and only while `showing`
// answers true there. Nothing reaches the list once the follower is gone.
class PathFollower {
public:
    PathFollower(const char* notification, ProgressList* list, std::function<bool()> showing);
    ~PathFollower();
    PathFollower(const PathFollower&) = delete;
    PathFollower& operator=(const PathFollower&) = delete;

private:
    struct State;
    std::shared_ptr<State> state_;
    ObserverToken observer_;
};

} // namespace tessaly
