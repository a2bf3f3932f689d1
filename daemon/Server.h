#pragma once

// The service's listening socket. Connections come from allowed users only
// (peer credentials). One thread reads every connection without blocking and
// keeps each one's replies in its own output, written as the caller reads
// them, so a caller that stops reading holds up no one else. Requests of one
// connection are answered in the order they arrived and served one at a time,
// in that order, by a fixed number of worker threads. A connection is read
// ahead while its work runs, so that a stop sent behind the work reaches it:
// the stop commands are served the moment they arrive (their replies keep
// their place in the order). A connection that stays idle, or takes too long to
// send one message, is closed; at the connection limit the longest idle one
// makes room. Large messages draw on one budget for all connections; every
// connection may always hold a small message beyond it, so a few half-sent
// large messages never keep the others from being heard.

#include "daemon/Caller.h"
#include "daemon/CommandRunner.h"
#include "daemon/RequestContext.h"
#include "daemon/WireFormat.h"
#include "daemon/WorkerPool.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dorn {

struct ServerOptions {
    std::set<uid_t> allowedUids; // besides root
    std::chrono::milliseconds idleLimit{60'000};
    std::chrono::milliseconds messageLimit{10'000};
    std::size_t workers = 4;
};

class Server {
public:
    Server(CommandRunner& runner, std::string socketPath, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates the socket file (mode 0666: who may talk is decided by the peer
    // check); false with a reason when it cannot.
    bool listen(std::string* error);

    // Serves until the process is ended.
    void run();

private:
    using Clock = std::chrono::steady_clock;
    // One request of a connection, from its arrival until its reply is queued.
    struct Slot {
        std::uint64_t seq = 0;
        std::optional<Request> request; // work still to be served
        bool running = false;
        bool done = false;
        std::vector<std::uint8_t> reply;
    };
    struct Connection {
        std::uint64_t id = 0;
        int fd = -1;
        RequestContext context;           // caller and stops; seq of the last request
        std::vector<std::uint8_t> input;  // received, not yet taken apart
        std::deque<Slot> slots;           // requests not yet answered, in order
        std::vector<std::uint8_t> output; // replies not yet written
        std::size_t written = 0;          // of output
        bool closeWhenWritten = false;
        bool gone = false;
        Clock::time_point lastActivity;
        std::optional<Clock::time_point> messageStarted;
        bool running() const;
    };
    struct Finished {
        std::uint64_t id;
        std::uint64_t seq;
        std::vector<std::uint8_t> body;
    };

    void accept();
    void refused(const std::string& line);
    bool makeRoom();
    bool mayRead(const Connection& c) const;
    void readFrom(Connection& c);
    void takeFrames(Connection& c);
    void startNext(Connection& c);
    void flushReplies(Connection& c);
    void queueReply(Connection& c, const std::vector<std::uint8_t>& body);
    void writeTo(Connection& c);
    void takeFinished();
    void expire(Connection& c, Clock::time_point now);
    void dropGone();
    int pollTimeout(Clock::time_point now) const;
    std::size_t pending(const Connection& c) const { return c.output.size() - c.written; }

    CommandRunner& runner_;
    std::string socketPath_;
    ServerOptions options_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::uint64_t nextId_ = 1;
    std::size_t buffered_ = 0; // input bytes held for all connections
    std::vector<std::unique_ptr<Connection>> connections_;
    std::mutex finishedMutex_;
    std::vector<Finished> finished_;
    // Refused callers are logged at a bounded rate.
    Clock::time_point refusalWindow_{};
    std::size_t refusalsInWindow_ = 0;
    std::size_t refusalsUnlogged_ = 0;
    WorkerPool workers_;
};

} // namespace dorn
