#pragma once

#include "ScanCode/ToolEngine.h"

#include <functional>
#include <memory>
#include <stop_token>

namespace tessaly {

// The hop of a tool screen's long run to a worker and back. The work runs on the
// global queue with a stop token and a progress sink of its own; its progress
// reaches the screen's thread coalesced (only the latest state, never a flood of
// queued events), and what the work hands back runs on the screen's thread. The
// one lifetime guard of a screen: once the ToolRun is gone nothing of its work
// reaches the screen any more, and its destruction stops the work and waits for
// it, so that an engine owned next to the screen is never used after it.
class ToolRun {
public:
    // Called on the screen's thread.
    using ProgressHandler = std::function<void(const ProgressEvent&)>;
    using Completion = std::function<void()>;
    // Runs on a worker; returns what is to run on the screen's thread afterwards.
    using Work = std::function<Completion(std::stop_token, const ProgressSink&)>;

    ToolRun();
    ~ToolRun();
    ToolRun(const ToolRun&) = delete;
    ToolRun& operator=(const ToolRun&) = delete;

    // Starts work; false (and nothing runs) while a run is still going.
    bool start(Work work, ProgressHandler progress);
    // Asks the running work to stop. The request is made from a worker, so that
    // whatever the engine does when asked (telling the privileged helper to stop,
    // releasing waits) never holds up the caller's thread.
    void stop();
    bool running() const;
    bool stopRequested() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace tessaly
