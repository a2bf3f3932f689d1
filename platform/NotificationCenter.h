#pragma once

#include "platform/PlistValue.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tessaly {

struct Notification {
    std::string name;
    std::any object;
    PlistValue::Dict userInfo;
};

// Named notifications between engines and screens. post() delivers on the calling
// thread; postOnMainQueue() delivers later on the main queue.
class NotificationCenter {
public:
    using Token = std::uint64_t;
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // An empty name observes every notification.
    Token addObserver(const std::string& name, Handler handler);
    // After this returns the handler is not called again (a call already running on
    // another thread may still finish).
    void removeObserver(Token token);

    void post(const Notification& note) const;
    void post(const std::string& name, std::any object = {}, PlistValue::Dict userInfo = {}) const;
    void postOnMainQueue(const std::string& name, std::any object = {},
                         PlistValue::Dict userInfo = {}) const;

private:
    struct Entry;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    Token next_ = 1;
};

// Removes its observer when it goes away.
class ObserverToken {
public:
    ObserverToken() = default;
    ObserverToken(NotificationCenter& center, NotificationCenter::Token t)
        : center_(&center), t_(t) {}
    ObserverToken(ObserverToken&& o) noexcept : center_(o.center_), t_(o.t_) {
        o.center_ = nullptr;
    }
    ObserverToken& operator=(ObserverToken&& o) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken() { reset(); }
    void reset();

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::Token t_ = 0;
};

} // namespace tessaly
