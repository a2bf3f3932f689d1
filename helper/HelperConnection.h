#pragma once

// One connection to the DornDaemon service: framed binary property-list
// requests and replies over its Unix-domain socket (the format is described in
// daemon/HelperProtocol.h).

#include "platform/PlistValue.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>

namespace tessaly {

// A broken or refused connection, or an error reply of the service.
class HelperError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HelperConnection {
public:
    HelperConnection() = default;
    ~HelperConnection();
    HelperConnection(const HelperConnection&) = delete;
    HelperConnection& operator=(const HelperConnection&) = delete;

    // The service's socket: TESSALY_HELPER_SOCKET when set, else /run/tessaly/DornDamonObject.
    static std::string socketPath();

    // Connects to the socket and asks the service whether it serves the
    // command. False when nothing listens, the service refuses us or it does not
    // serve the command; a lookup never throws.
    bool lookup(const std::string& command, const std::string& path = socketPath());

    bool isOpen() const { return fd_ >= 0; }

    // Asks the connected service whether it serves a command.
    bool respondsToSelector(const std::string& command);

    // Sends one request and waits for its reply: the reply value, or None for a
    // command without one. Throws HelperError when the connection fails or the
    // service answers with an error.
    PlistValue call(const std::string& command, PlistValue::Array arguments = {});

    // Sends a command without arguments (a stop) from another thread while a
    // call() waits on this connection: the service serves it at once and it
    // stops what this connection sent before it. Its reply is dropped by the
    // next call(). Never blocks; false when it could not be sent.
    bool sendStop(const std::string& command);

    void close();

private:
    bool connectTo(const std::string& path);

    std::atomic<int> fd_{-1};
    std::mutex sendMutex_;              // requests and stops go out whole, in order
    std::size_t unreadStopReplies_ = 0; // replies of stops, ahead of the next call's
};

} // namespace tessaly
