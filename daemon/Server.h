#pragma once

// The service's listening socket: accepts connections from allowed users only
// (peer credentials), reads framed requests and serves them one at a time, in
// the order they arrive, on the calling thread.

#include "daemon/CommandRunner.h"

#include <cstdint>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dorn {

class Server {
public:
    // allowedUids: user ids accepted besides root.
    Server(CommandRunner& runner, std::string socketPath, std::set<uid_t> allowedUids);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates the socket file (mode 0666: who may talk is decided by the peer
    // check); false with a reason when it cannot.
    bool listen(std::string* error);

    // Serves until the process is ended.
    void run();

private:
    struct Connection {
        int fd = -1;
        std::vector<std::uint8_t> input;
    };

    void accept();
    // False when the connection is to be closed.
    bool readFrom(Connection& c);
    bool serveFrames(Connection& c);
    bool send(int fd, const std::vector<std::uint8_t>& body);

    CommandRunner& runner_;
    std::string socketPath_;
    std::set<uid_t> allowed_;
    int listenFd_ = -1;
    std::vector<Connection> connections_;
};

} // namespace dorn
