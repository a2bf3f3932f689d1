#include "daemon/WireFormat.h"

#include "daemon/HelperProtocol.h"
#include "platform/BinaryPlistReader.h"
#include "platform/PropertyList.h"

namespace dorn {

namespace {

constexpr tessaly::plist::ReadLimits kMessageLimits{1'000'000, 32, 32u << 20};

// The conversation has no null value (a binary property list can hold one, but
// no reply could carry it back). The depth is bounded by kMessageLimits.
bool holdsNull(const PlistValue& v) {
    if (v.isNone())
        return true;
    if (const auto* a = v.array())
        for (const PlistValue& e : *a)
            if (holdsNull(e))
                return true;
    if (const auto* d = v.dict())
        for (const auto& entry : *d)
            if (holdsNull(entry.second))
                return true;
    return false;
}

} // namespace

std::optional<PlistValue> decodeMessage(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes || length > protocol::kMaxMessageBytes ||
        !tessaly::plist::BinaryPlistReader::hasSignature(bytes, length))
        return std::nullopt;
    auto value = tessaly::plist::parseBinary(bytes, length, kMessageLimits);
    if (!value || holdsNull(*value))
        return std::nullopt;
    return value;
}

std::optional<Request> decodeRequest(const std::uint8_t* bytes, std::size_t length,
                                     std::string* error) {
    auto fail = [&](const char* why) -> std::optional<Request> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (length > protocol::kMaxMessageBytes)
        return fail("message too large");
    auto root = decodeMessage(bytes, length);
    if (!root)
        return fail("malformed property list");
    if (!root->isDict())
        return fail("request is not a dictionary");
    const PlistValue* command = root->find(protocol::kCommandKey);
    if (!command || !command->string() || command->string()->empty())
        return fail("request without a command");
    Request r;
    r.command = *command->string();
    const PlistValue* args = root->find(protocol::kArgumentsKey);
    if (!args)
        return r;
    if (!args->isArray())
        return fail("arguments are not a list");
    r.arguments = *args->array();
    return r;
}

std::vector<std::uint8_t> encodeMessage(const PlistValue& value) {
    auto bytes = tessaly::plist::serialize(value, tessaly::plist::Format::Binary);
    return bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> encodeReply(const PlistValue& value) {
    return encodeMessage(PlistValue(PlistValue::Dict{{protocol::kReplyKey, value}}));
}

std::vector<std::uint8_t> encodeEmptyReply() {
    return encodeMessage(PlistValue(PlistValue::Dict{}));
}

std::vector<std::uint8_t> encodeError(const std::string& text) {
    return encodeMessage(PlistValue(PlistValue::Dict{{protocol::kErrorKey, text}}));
}

std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out(protocol::kLengthPrefixBytes + body.size());
    protocol::putLength(out.data(), static_cast<std::uint32_t>(body.size()));
    std::copy(body.begin(), body.end(), out.begin() + protocol::kLengthPrefixBytes);
    return out;
}

} // namespace dorn
