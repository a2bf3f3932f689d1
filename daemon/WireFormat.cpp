#include "daemon/WireFormat.h"

#include "daemon/BinaryPlistDecoder.h"
#include "daemon/HelperProtocol.h"

namespace dorn {

std::optional<Request> decodeRequest(const std::uint8_t* bytes, std::size_t length,
                                     std::string* error) {
    auto fail = [&](const char* why) -> std::optional<Request> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (length > protocol::kMaxMessageBytes)
        return fail("message too large");
    PlistNode root(decodeBinaryPlist(bytes, length));
    if (!root)
        return fail("malformed property list");
    if (plist_get_node_type(root.get()) != PLIST_DICT)
        return fail("request is not a dictionary");
    auto command = stringValue(plist_dict_get_item(root.get(), protocol::kCommandKey));
    if (!command || command->empty())
        return fail("request without a command");
    Request r;
    r.command = std::move(*command);
    plist_t args = plist_dict_get_item(root.get(), protocol::kArgumentsKey);
    if (!args) {
        r.arguments.reset(plist_new_array());
        return r;
    }
    if (plist_get_node_type(args) != PLIST_ARRAY)
        return fail("arguments are not a list");
    r.arguments.reset(plist_copy(args));
    return r;
}

std::vector<std::uint8_t> encodeReply(plist_t value) {
    PlistNode dict(plist_new_dict());
    plist_dict_set_item(dict.get(), protocol::kReplyKey, value);
    return toBinary(dict.get());
}

std::vector<std::uint8_t> encodeEmptyReply() {
    PlistNode dict(plist_new_dict());
    return toBinary(dict.get());
}

std::vector<std::uint8_t> encodeError(const std::string& text) {
    PlistNode dict(plist_new_dict());
    plist_dict_set_item(dict.get(), protocol::kErrorKey, plist_new_string(text.c_str()));
    return toBinary(dict.get());
}

std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out(protocol::kLengthPrefixBytes + body.size());
    protocol::putLength(out.data(), static_cast<std::uint32_t>(body.size()));
    std::copy(body.begin(), body.end(), out.begin() + protocol::kLengthPrefixBytes);
    return out;
}

} // namespace dorn
