#pragma once

// One connection to the DornDaemon service: framed binary property-list
// requests and replies over its Unix-domain socket (the format is described in
// daemon/HelperProtocol.h).

#include "platform/PlistValue.h"

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

    void close();

private:
    bool connectTo(const std::string& path);

    int fd_ = -1;
};

} // namespace tessaly
