#pragma once

// Requests and replies of the service as property lists (see HelperProtocol.h
// for the framing and the layout of each message).

#include "platform/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorn {

using tessaly::PlistValue;

struct Request {
    std::string command;
    PlistValue::Array arguments;
};

// The body of one message as a value: none unless it is a binary property list
// without null values whose expansion stays within the service's limits (a million values, 32 MiB
// of text and data, 32 levels of nesting).
std::optional<PlistValue> decodeMessage(const std::uint8_t* bytes, std::size_t length);

// Decodes the body of one request message. None, with a short reason in *error,
// when it is not a binary property list within the limits, not a dictionary,
// or lacks a command name or has arguments that are not a list.
std::optional<Request> decodeRequest(const std::uint8_t* bytes, std::size_t length,
                                     std::string* error);

// Message bodies (without the length prefix); empty when they cannot be written.
std::vector<std::uint8_t> encodeMessage(const PlistValue& value);
std::vector<std::uint8_t> encodeReply(const PlistValue& value);
std::vector<std::uint8_t> encodeEmptyReply();
std::vector<std::uint8_t> encodeError(const std::string& text);

// The body with its 4-byte big-endian length in front.
std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& body);

} // namespace dorn
