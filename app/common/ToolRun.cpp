#include "app/common/ToolRun.h"

#include "platform/Dispatch.h"

#include <condition_variable>
#include <mutex>

namespace tessaly {

struct ToolRun::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;
    bool alive = true; // read and written on the screen's thread only
    std::stop_source stop;
    ProgressHandler progress;
    // The progress not yet shown, merged: the latest phase, path and fraction.
    ProgressEvent pending;
    bool hasPending = false;
    bool hopQueued = false;

    void merge(const ProgressEvent& e) {
        if (!e.phase.empty())
            pending.phase = e.phase;
        if (!e.path.empty() || !e.phase.empty())
            pending.path = e.path;
        if (e.fraction >= 0)
            pending.fraction = e.fraction;
        hasPending = true;
    }
};

ToolRun::ToolRun() : state_(std::make_shared<State>()) {}

ToolRun::~ToolRun() {
    state_->alive = false;
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (!state_->running)
        return;
    std::stop_source source = state_->stop;
    lock.unlock();
    source.request_stop();
    lock.lock();
    state_->ended.wait(lock, [this] { return !state_->running; });
}

bool ToolRun::start(Work work, ProgressHandler progress) {
    std::weak_ptr<State> weak = state_;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (state_->running)
            return false;
        state_->running = true;
        state_->stop = std::stop_source();
        state_->progress = std::move(progress);
        state_->pending = {};
        state_->hasPending = false;
    }
    // Events from any worker thread: merged, and one hop at a time to the screen.
    ProgressSink sink = [weak](const ProgressEvent& event) {
        auto s = weak.lock();
        if (!s)
            return;
        {
            std::lock_guard<std::mutex> guard(s->mutex);
            s->merge(event);
            if (s->hopQueued)
                return;
            s->hopQueued = true;
        }
        MainQueue::async([weak] {
            auto state = weak.lock();
            if (!state)
                return;
            ProgressEvent shown;
            {
                std::lock_guard<std::mutex> guard(state->mutex);
                state->hopQueued = false;
                if (!state->hasPending)
                    return;
                shown = state->pending;
                state->hasPending = false;
            }
            if (state->alive && state->progress)
                state->progress(shown);
        });
    };
    std::stop_token token = state_->stop.get_token();
    GlobalQueue::async([s = state_, weak, work = std::move(work), token, sink] {
        Completion done = work(token, sink);
        {
            // Over: the engine is not touched any more from here on.
            std::lock_guard<std::mutex> guard(s->mutex);
            s->running = false;
            s->ended.notify_all();
        }
        MainQueue::async([weak, done = std::move(done)] {
            auto state = weak.lock();
            if (!state || !state->alive)
                return;
            {
                std::lock_guard<std::mutex> guard(state->mutex);
                state->hasPending = false; // what the work reported is over now
            }
            if (done)
                done();
        });
    });
    return true;
}

void ToolRun::stop() {
    std::stop_source source;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (!state_->running)
            return;
        source = state_->stop;
    }
    GlobalQueue::async([source]() mutable { source.request_stop(); });
}

bool ToolRun::running() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->running;
}

bool ToolRun::stopRequested() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->stop.stop_requested();
}

} // namespace tessaly
