#pragma once

// Requests and replies of the service as property lists (see HelperProtocol.h
// for the framing and the layout of each message).

#include "daemon/PlistNode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

struct Request {
    std::string command;
    PlistNode arguments; // always an array
};

// Decodes the body of one request message. None, with a short reason in *error,
// when it is not a binary property list within the limits, not a dictionary,
// or lacks a command name or has arguments that are not a list.
std::optional<Request> decodeRequest(const std::uint8_t* bytes, std::size_t length,
                                     std::string* error);

// Message bodies (without the length prefix). encodeReply takes ownership of value.
std::vector<std::uint8_t> encodeReply(plist_t value);
std::vector<std::uint8_t> encodeEmptyReply();
std::vector<std::uint8_t> encodeError(const std::string& text);

// The body with its 4-byte big-endian length in front.
std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& body);

} // namespace dorn
