#pragma once

// The conversation between the application and DornDaemon, shared by both
// sides (constants only, so that the service links nothing of the application).
//
// Transport: a Unix-domain stream socket. The service listens on
// kDefaultSocketPath, a socket file named after the registered name
// "DornDamonObject" in the root-owned runtime folder /run/tessaly; another path
// may be given to the service with --socket and to the application with
// TESSALY_HELPER_SOCKET.
//
// Messages: each one is a 4-byte big-endian length N followed by N bytes of a
// binary property list ("bplist00"), 1 <= N <= kMaxMessageBytes (16 MiB, room
// for a writeDataToSystemFile:path: of several MiB). A request is a dictionary
//   { "command": <command name with its colons>, "arguments": [ <argument>, ... ] }
// ("arguments" may be left out for commands without arguments); a reply is
//   { "reply": <value> }   for a command with a reply value,
//   { }                    for a command without one,
//   { "error": <short text> } when the request could not be served.
// Several requests may follow one another on a connection; each gets one reply,
// in order (see below for stops). A message longer than the limit is answered with an error and
// the connection is closed; a malformed property list, an unknown command or arguments of the wrong
// kind get an error reply and the connection stays open. "respondsToSelector:" with one argument (a
// command name) replies whether the service serves that command.
//
// Paths travel as strings, or as data holding their bytes when they are not
// UTF-8 (a file name may hold any byte but "/" and NUL; pathValue).
//
// Order and stops: replies come in the order of the requests. A connection's
// work requests are served one at a time, and the connection is read while one
// runs: "stopRemove" and "shredderStop" stop the removals and overwrites that
// the same connection sent before them (running or waiting), never another
// connection's, nor what the connection sends after them. An overwrite that a
// stop ended replies NO. The flag commands ("stop", "setStop:", ...) read and
// set the connection's own stops.
//
// Callers: the service accepts connections only from root and the user ids it
// was started with (--allow-uid), checked from the socket's peer credentials;
// any other caller's connection is closed before anything is read.

#include "platform/PlistValue.h"
#include "platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace dorn::protocol {

inline constexpr const char* kServiceName = "DornDamonObject";
inline constexpr const char* kRuntimeFolder = "/run/tessaly";
inline constexpr const char* kDefaultSocketPath = "/run/tessaly/DornDamonObject";
inline constexpr const char* kSocketEnvironment = "TESSALY_HELPER_SOCKET";

inline constexpr std::size_t kMaxMessageBytes = 16u << 20;
inline constexpr std::size_t kLengthPrefixBytes = 4;

inline constexpr const char* kCommandKey = "command";
inline constexpr const char* kArgumentsKey = "arguments";
inline constexpr const char* kReplyKey = "reply";
inline constexpr const char* kErrorKey = "error";

inline constexpr const char* kRespondsToSelector = "respondsToSelector:";

// Big-endian length prefix of a message.
inline void putLength(std::uint8_t out[4], std::uint32_t n) {
    out[0] = static_cast<std::uint8_t>(n >> 24);
    out[1] = static_cast<std::uint8_t>(n >> 16);
    out[2] = static_cast<std::uint8_t>(n >> 8);
    out[3] = static_cast<std::uint8_t>(n);
}

// A path as it is sent: text when it is UTF-8, otherwise its bytes as data.
inline tessaly::PlistValue pathValue(const std::string& path) {
    if (tessaly::isValidUtf8(path))
        return tessaly::PlistValue(path);
    return tessaly::PlistValue(tessaly::PlistValue::Data(path.begin(), path.end()));
}

inline std::uint32_t getLength(const std::uint8_t in[4]) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) |
           (std::uint32_t{in[2]} << 8) | std::uint32_t{in[3]};
}

} // namespace dorn::protocol
