#pragma once

// The service's listening socket. Connections come from allowed users only
// (peer credentials). One thread reads every connection without blocking and
// keeps each one's replies in its own output, written as the caller reads
// them, so a caller that stops reading holds up no one else. Requests of one
// connection are served in order, one at a time, by a fixed number of worker
// threads; the stop commands are served at once on arrival, ahead of all
// queued work. A connection that stays idle, or takes too long to send one
// message, is closed; at the connection limit the longest idle one makes room.

#include "daemon/Caller.h"
#include "daemon/CommandRunner.h"
#include "daemon/WorkerPool.h"

#include <chrono>
#include <cstdint>
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
    struct Connection {
        std::uint64_t id = 0;
        int fd = -1;
        Caller caller;
        std::vector<std::uint8_t> input;  // received, not yet served
        std::vector<std::uint8_t> output; // replies not yet written
        std::size_t written = 0;          // of output
        bool busy = false;                // a request is with the workers
        bool closeWhenWritten = false;
        bool gone = false;
        Clock::time_point lastActivity;
        std::optional<Clock::time_point> messageStarted;
    };
    struct Finished {
        std::uint64_t id;
        std::vector<std::uint8_t> body;
    };

    void accept();
    bool makeRoom();
    void readFrom(Connection& c);
    void serveFrames(Connection& c);
    void queueReply(Connection& c, const std::vector<std::uint8_t>& body);
    void writeTo(Connection& c);
    void takeFinished();
    void expire(Connection& c, Clock::time_point now);
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
    WorkerPool workers_;
};

} // namespace dorn
