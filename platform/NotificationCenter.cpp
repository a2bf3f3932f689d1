#include "platform/NotificationCenter.h"

#include "platform/Dispatch.h"

#include <algorithm>
#include <atomic>

namespace tessaly {

struct NotificationCenter::Entry {
    Token token;
    std::string name;
    Handler handler;
    std::atomic<bool> alive{true};
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter; // workers may post while the program ends
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name,
                                                          Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto e = std::make_shared<Entry>();
    e->token = next_++;
    e->name = name;
    e->handler = std::move(handler);
    entries_.push_back(e);
    return e->token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [token](const auto& e) { return e->token == token; });
    if (it == entries_.end())
        return;
    (*it)->alive = false;
    entries_.erase(it);
}

void NotificationCenter::post(const Notification& note) const {
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& e : entries_)
            if (e->name.empty() || e->name == note.name)
                targets.push_back(e);
    }
    for (const auto& e : targets)
        if (e->alive)
            e->handler(note);
}

void NotificationCenter::post(const std::string& name, std::any object,
                              PlistValue::Dict userInfo) const {
    post(Notification{name, std::move(object), std::move(userInfo)});
}

void NotificationCenter::postOnMainQueue(const std::string& name, std::any object,
                                         PlistValue::Dict userInfo) const {
    auto note =
        std::make_shared<Notification>(Notification{name, std::move(object), std::move(userInfo)});
    MainQueue::async([this, note] { post(*note); });
}

ObserverToken& ObserverToken::operator=(ObserverToken&& o) noexcept {
    if (this != &o) {
        reset();
        center_ = o.center_;
        t_ = o.t_;
        o.center_ = nullptr;
    }
    return *this;
}

void ObserverToken::reset() {
    if (center_)
        center_->removeObserver(t_);
    center_ = nullptr;
}

} // namespace tessaly
