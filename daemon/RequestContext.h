#pragma once

// Who sent a request and where it stands among the requests of its connection.
//
// A stop belongs to the connection it arrives on: it stops that connection's
// removals (or overwrites) that arrived before it, running or still waiting,
// and nothing of any other connection, nor what the same connection sends after
// it. Requests of a connection are numbered from 1 in the order they arrive.

#include "daemon/Caller.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace dorn {

class ConnectionStops {
public:
    enum Kind { Removal = 0, Overwrite = 1 };

    // A stop of this kind arrived as request `seq`.
    void stop(Kind kind, std::uint64_t seq) {
        std::uint64_t old = stoppedBefore_[kind].load();
        while (old < seq && !stoppedBefore_[kind].compare_exchange_weak(old, seq)) {
        }
    }
    // Lifts every stop of this kind (setStop: NO).
    void lift(Kind kind) { stoppedBefore_[kind] = 0; }
    // Work of this kind arrived as request `seq`.
    void workArrived(Kind kind, std::uint64_t seq) {
        std::uint64_t old = lastWork_[kind].load();
        while (old < seq && !lastWork_[kind].compare_exchange_weak(old, seq)) {
        }
    }

    // Whether request `seq` of this kind is to stop.
    bool stopped(Kind kind, std::uint64_t seq) const { return stoppedBefore_[kind] > seq; }
    // Whether a stop stands: one arrived after the latest work of its kind.
    bool standing(Kind kind) const { return stoppedBefore_[kind] > lastWork_[kind]; }

private:
    std::atomic<std::uint64_t> stoppedBefore_[2] = {0, 0};
    std::atomic<std::uint64_t> lastWork_[2] = {0, 0};
};

struct RequestContext {
    Caller caller;
    std::shared_ptr<ConnectionStops> stops = std::make_shared<ConnectionStops>();
    std::uint64_t seq = 0;

    bool stopped(ConnectionStops::Kind kind) const { return stops->stopped(kind, seq); }
};

} // namespace dorn
